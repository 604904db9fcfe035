vorlane_add_test(test_component SOURCES ${CMAKE_CURRENT_LIST_DIR}/ComponentTest.cpp LIBS vorlane_platform)
