vorlane_add_fuzz(fuzz_component_stream ${CMAKE_CURRENT_LIST_DIR}/fuzz_component_stream.cpp
  LIBS vorlane_gallery
  CORPUS ${CMAKE_SOURCE_DIR}/tests/data/fuzz/fuzz_component_stream)
