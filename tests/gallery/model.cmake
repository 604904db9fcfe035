vorlane_add_test(test_gallery_model
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/GalleryModelTest.cpp
  LIBS vorlane_gallery)
