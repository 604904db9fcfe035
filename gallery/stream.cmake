target_sources(vorlane_gallery PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Stream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComponentWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ComponentReader.cpp
)
