vorlane_add_test(test_app_announcement
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AppFixture.cpp ${CMAKE_CURRENT_LIST_DIR}/AnnouncementTest.cpp
  LIBS vorlane_app Qt6::Test)
