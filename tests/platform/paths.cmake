vorlane_add_test(test_path SOURCES ${CMAKE_CURRENT_LIST_DIR}/PathTest.cpp LIBS vorlane_platform)
