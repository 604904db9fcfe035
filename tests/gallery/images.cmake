vorlane_add_test(test_bmp
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BmpReaderTest.cpp ${CMAKE_CURRENT_LIST_DIR}/BmpWriterTest.cpp
  LIBS vorlane_gallery)
vorlane_add_test(test_image_list
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ImageListTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ImageListDataTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ImageListRecordTest.cpp
  LIBS vorlane_gallery)
