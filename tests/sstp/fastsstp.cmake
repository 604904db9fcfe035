vorlane_add_test(test_fastsstp SOURCES ${CMAKE_CURRENT_LIST_DIR}/FastSstpTest.cpp
  LIBS vorlane_sstp Qt6::Core Threads::Threads)
