# Needs the test encoder and the test servers, which exist when the tests are built.
if(TARGET vorlane_test_jpeg AND TARGET vorlane_test_servers)
  vorlane_add_bench(bench_wallpaper SOURCES ${CMAKE_CURRENT_LIST_DIR}/WallpaperBench.cpp
    LIBS vorlane_wallpaper vorlane_test_jpeg vorlane_test_servers)
endif()
