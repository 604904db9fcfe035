vorlane_add_bench(bench_socket SOURCES ${CMAKE_CURRENT_LIST_DIR}/SocketBench.cpp LIBS vorlane_socket)
