vorlane_add_test(test_profile SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProfileTest.cpp LIBS vorlane_platform)
