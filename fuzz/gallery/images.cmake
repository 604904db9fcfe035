vorlane_add_fuzz(fuzz_image_list ${CMAKE_CURRENT_LIST_DIR}/FuzzImageList.cpp
  LIBS vorlane_gallery CORPUS ${CMAKE_SOURCE_DIR}/tests/data/fuzz/fuzz_image_list)
vorlane_add_fuzz(fuzz_bmp ${CMAKE_CURRENT_LIST_DIR}/FuzzBmp.cpp
  LIBS vorlane_gallery CORPUS ${CMAKE_SOURCE_DIR}/tests/data/fuzz/fuzz_bmp)
