vorlane_add_test(test_registry SOURCES ${CMAKE_CURRENT_LIST_DIR}/RegistryTest.cpp LIBS vorlane_platform)
