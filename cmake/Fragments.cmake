# Several people add to one folder's targets at once; each keeps its sources in a fragment file of its
# own (folder/*.cmake) that this includes, so no one edits another's list.
macro(vorlane_include_fragments dir)
  file(GLOB _vorlane_fragments CONFIGURE_DEPENDS ${dir}/*.cmake)
  list(SORT _vorlane_fragments)
  foreach(_fragment IN LISTS _vorlane_fragments)
    include(${_fragment})
  endforeach()
endmacro()
