vorlane_add_bench(bench_sstp_announce SOURCES ${CMAKE_CURRENT_LIST_DIR}/AnnounceBench.cpp
  LIBS vorlane_sstp Qt6::Core Threads::Threads)
