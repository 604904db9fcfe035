vorlane_add_test(test_gallery_model
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/GalleryModelTest.cpp ${CMAKE_CURRENT_LIST_DIR}/GalleryFileTest.cpp
  LIBS vorlane_gallery)
