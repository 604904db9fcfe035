# The event layer: message targets, window timers, socket notices and host lookups on Qt's event loop.
# A library of its own so that vorlane_platform stays free of Qt.
add_library(vorlane_events STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MessageWindow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EventLoop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/AsyncSocket.cpp
)
target_include_directories(vorlane_events PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(vorlane_events PUBLIC vorlane_platform Qt6::Core Threads::Threads)
