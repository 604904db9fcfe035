# The current user's registry (a store file in the settings folder) and its ini-style access.
target_sources(vorlane_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RegistryIniFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReplacedFile.cpp
)
