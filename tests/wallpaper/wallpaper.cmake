vorlane_add_test(test_wallpaper
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CWallPaperTest.cpp ${CMAKE_CURRENT_LIST_DIR}/SystemDesktopTest.cpp
  LIBS vorlane_wallpaper)
vorlane_add_test(test_wallpaper_file
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WallpaperFileTest.cpp
  LIBS vorlane_wallpaper vorlane_test_jpeg JPEG::JPEG)

add_library(vorlane_test_servers STATIC ${CMAKE_CURRENT_LIST_DIR}/ServerProcess.cpp)
target_include_directories(vorlane_test_servers PUBLIC ${CMAKE_SOURCE_DIR})
vorlane_add_test(test_wallpaper_x11
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DesktopX11Test.cpp
  LIBS vorlane_wallpaper vorlane_test_servers PkgConfig::VORLANE_X11)
vorlane_add_test(test_wallpaper_gnome
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DesktopGnomeTest.cpp
  LIBS vorlane_wallpaper vorlane_test_servers PkgConfig::VORLANE_GIO)
