add_library(vorlane_socket_testsupport STATIC ${CMAKE_CURRENT_LIST_DIR}/SocketTestSupport.cpp)
target_link_libraries(vorlane_socket_testsupport PUBLIC vorlane_events Threads::Threads)
target_include_directories(vorlane_socket_testsupport PUBLIC ${CMAKE_SOURCE_DIR})

vorlane_add_test(test_events SOURCES ${CMAKE_CURRENT_LIST_DIR}/EventLayerTest.cpp
  LIBS vorlane_events vorlane_socket_testsupport)
vorlane_add_test(test_threadtimer SOURCES ${CMAKE_CURRENT_LIST_DIR}/ThreadTimerTest.cpp
  LIBS vorlane_socket vorlane_socket_testsupport)
vorlane_add_test(test_psock SOURCES ${CMAKE_CURRENT_LIST_DIR}/PsockConnectTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PsockTransferTest.cpp
  LIBS vorlane_socket vorlane_socket_testsupport)
