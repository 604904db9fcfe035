vorlane_add_bench(bench_app SOURCES ${CMAKE_CURRENT_LIST_DIR}/StartupBench.cpp LIBS vorlane_app)
