vorlane_add_bench(bench_image_list SOURCES ${CMAKE_CURRENT_LIST_DIR}/ImageListBench.cpp LIBS vorlane_gallery)
