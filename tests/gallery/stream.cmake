vorlane_add_test(test_component_stream
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ComponentStreamTest.cpp
  LIBS vorlane_gallery)
