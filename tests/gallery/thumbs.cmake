add_library(vorlane_test_jpeg STATIC ${CMAKE_CURRENT_LIST_DIR}/JpegEncode.cpp)
target_link_libraries(vorlane_test_jpeg PUBLIC vorlane_gallery JPEG::JPEG)

vorlane_add_test(test_jpeg SOURCES ${CMAKE_CURRENT_LIST_DIR}/JpegTest.cpp LIBS vorlane_test_jpeg vorlane_gallery)
vorlane_add_test(test_jpeg_thumbnail SOURCES ${CMAKE_CURRENT_LIST_DIR}/JpegThumbnailTest.cpp
  LIBS vorlane_test_jpeg vorlane_gallery)
vorlane_add_test(test_stretch SOURCES ${CMAKE_CURRENT_LIST_DIR}/StretchTest.cpp LIBS vorlane_gallery)
vorlane_add_test(test_thumbnail SOURCES ${CMAKE_CURRENT_LIST_DIR}/ThumbnailTest.cpp
  LIBS vorlane_test_jpeg vorlane_gallery)
