vorlane_add_test(test_sstp_request SOURCES ${CMAKE_CURRENT_LIST_DIR}/SstpRequestTest.cpp LIBS vorlane_sstp)
