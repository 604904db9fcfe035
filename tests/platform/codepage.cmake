vorlane_add_test(test_codepage SOURCES ${CMAKE_CURRENT_LIST_DIR}/CodePageTest.cpp LIBS vorlane_platform)
