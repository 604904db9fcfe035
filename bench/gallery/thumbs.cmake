vorlane_add_bench(bench_thumbnail SOURCES ${CMAKE_CURRENT_LIST_DIR}/ThumbnailBench.cpp
  ${CMAKE_SOURCE_DIR}/tests/gallery/JpegEncode.cpp LIBS vorlane_gallery JPEG::JPEG)
