vorlane_add_test(test_bmp
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BmpReaderTest.cpp ${CMAKE_CURRENT_LIST_DIR}/BmpWriterTest.cpp
  LIBS vorlane_gallery)
