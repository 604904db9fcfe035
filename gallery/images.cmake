# Bitmaps, bitmap files, image lists and image-list data.
target_sources(vorlane_gallery PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/BmpReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/BmpWriter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImageList.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImageListData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ImageListRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PictureFile.cpp
)
