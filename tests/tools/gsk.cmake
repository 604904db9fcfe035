# vorlane-gsk: its parts in-process, and the program itself run on scratch galleries.
vorlane_add_test(test_gsk_parts SOURCES ${CMAKE_CURRENT_LIST_DIR}/GskPartsTest.cpp LIBS vorlane_gsk)
vorlane_add_test(test_gsk_roundtrip SOURCES ${CMAKE_CURRENT_LIST_DIR}/GskRoundTripTest.cpp
  LIBS vorlane_gsk vorlane_gallery JPEG::JPEG)
target_compile_definitions(test_gsk_roundtrip PRIVATE VORLANE_GSK="$<TARGET_FILE:vorlane-gsk>")
add_dependencies(test_gsk_roundtrip vorlane-gsk)

# cmake --install into a scratch prefix, and the tree checked.
if(TARGET Vorlane16)
  set(_vorlane_have_program 1)
else()
  set(_vorlane_have_program 0)
endif()
add_test(NAME install_tree COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
  -DPREFIX=${CMAKE_CURRENT_BINARY_DIR}/install-tree -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
  -DHAVE_PROGRAM=${_vorlane_have_program} -P ${CMAKE_CURRENT_LIST_DIR}/scripts/InstallTree.cmake)
# Both install tests write the build's install manifest.
set_tests_properties(install_tree PROPERTIES TIMEOUT 300 RESOURCE_LOCK vorlane_install)

# The installed program, run from an unwritable folder on a virtual display, takes its default gallery
# from the per-user data folder.
find_program(VORLANE_XVFB Xvfb)
if(TARGET Vorlane16 AND VORLANE_XVFB)
  add_test(NAME installed_program_data_folder COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/scripts/InstalledProgram.sh
    ${CMAKE_BINARY_DIR} $<TARGET_FILE:vorlane-gsk>)
  set_tests_properties(installed_program_data_folder PROPERTIES TIMEOUT 300 RESOURCE_LOCK vorlane_install)
endif()
