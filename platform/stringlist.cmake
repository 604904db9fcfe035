target_sources(vorlane_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/StringList.cpp)
