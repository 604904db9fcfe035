# The program folder of an installed program: a probe program copied into folders the test makes.
add_executable(datafolder_probe ${CMAKE_CURRENT_LIST_DIR}/DataFolderProbe.cpp)
target_link_libraries(datafolder_probe PRIVATE vorlane_platform)
vorlane_add_test(test_datafolder SOURCES ${CMAKE_CURRENT_LIST_DIR}/DataFolderTest.cpp LIBS vorlane_platform)
target_compile_definitions(test_datafolder PRIVATE DATAFOLDER_PROBE="$<TARGET_FILE:datafolder_probe>")
add_dependencies(test_datafolder datafolder_probe)
