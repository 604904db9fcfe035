vorlane_add_fuzz(fuzz_jpeg_thumbnail ${CMAKE_CURRENT_LIST_DIR}/FuzzJpegThumbnail.cpp
  LIBS vorlane_gallery
  CORPUS ${CMAKE_SOURCE_DIR}/tests/data/fuzz/fuzz_jpeg_thumbnail)
