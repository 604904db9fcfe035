find_package(Qt6 REQUIRED COMPONENTS Test)
vorlane_add_test(test_app
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/AppFixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LayoutTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainFormTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PictureDialogTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WallpaperCommandTest.cpp
  LIBS vorlane_app Qt6::Test)

# The real program on a virtual X display, closed as a window manager closes it.
find_package(X11 REQUIRED)
add_executable(x-close-window ${CMAKE_CURRENT_LIST_DIR}/XCloseWindow.cpp)
target_link_libraries(x-close-window PRIVATE X11::X11)
add_executable(damage-registry ${CMAKE_CURRENT_LIST_DIR}/DamageRegistry.cpp)
target_link_libraries(damage-registry PRIVATE vorlane_platform)
add_test(NAME AppSmoke.StartsShowsAndClosesOnXvfb
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/smoke.sh $<TARGET_FILE:Vorlane16> $<TARGET_FILE:x-close-window>
          $<TARGET_FILE:damage-registry>)
set_tests_properties(AppSmoke.StartsShowsAndClosesOnXvfb PROPERTIES TIMEOUT 180)
