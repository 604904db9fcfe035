target_sources(vorlane_gallery PRIVATE ${CMAKE_CURRENT_LIST_DIR}/Vorlane1.cpp)
