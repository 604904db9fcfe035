# JPEG decoding, stretching and thumbnails.
target_sources(vorlane_gallery PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Jpeg.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JpegDecoder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/JpegThumbnail.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Stretch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Thumbnail.cpp)
target_link_libraries(vorlane_gallery PUBLIC JPEG::JPEG)
