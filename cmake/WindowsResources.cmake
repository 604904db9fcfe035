# The Windows programs' icon and version information (packaging/windows/Program.rc).
#   vorlane_windows_resources(TARGET "File description")
# The icon is made at build time from the project's PNG icons by icotool (Debian's icoutils): every size
# from 16 to 256 pixels, the largest kept as PNG, as the shell expects of a 256-pixel icon.
find_program(VORLANE_ICOTOOL icotool REQUIRED)

set(VORLANE_ICON_FOLDER ${CMAKE_SOURCE_DIR}/packaging/icons)
set(VORLANE_WINDOWS_ICON ${CMAKE_BINARY_DIR}/packaging/windows/vorlane.ico)
set(_vorlane_icon_pngs)
foreach(size 16 24 32 48 64 128)
  list(APPEND _vorlane_icon_pngs ${VORLANE_ICON_FOLDER}/vorlane-${size}.png)
endforeach()
add_custom_command(OUTPUT ${VORLANE_WINDOWS_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/windows
  COMMAND ${VORLANE_ICOTOOL} --create --output=${VORLANE_WINDOWS_ICON} ${_vorlane_icon_pngs}
          --raw=${VORLANE_ICON_FOLDER}/vorlane-256.png
  DEPENDS ${_vorlane_icon_pngs} ${VORLANE_ICON_FOLDER}/vorlane-256.png
  COMMENT "Making the Windows icon vorlane.ico")
add_custom_target(vorlane_windows_icon DEPENDS ${VORLANE_WINDOWS_ICON})

set(_vorlane_rc_patch 0)
if(PROJECT_VERSION_PATCH)
  set(_vorlane_rc_patch ${PROJECT_VERSION_PATCH})
endif()
set(VORLANE_RC_VERSION "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${_vorlane_rc_patch},0")

# The program's own values reach the shared .rc through a header of its own: windres hands definitions
# to the preprocessor through a shell, which splits quoted texts with blanks.
function(vorlane_windows_resources target description)
  set(rc ${CMAKE_SOURCE_DIR}/packaging/windows/Program.rc)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
  file(GENERATE OUTPUT ${folder}/ProgramResources.h CONTENT
"#define VORLANE_RC_DESCRIPTION \"${description}\"
#define VORLANE_RC_FILENAME \"$<TARGET_FILE_NAME:${target}>\"
#define VORLANE_RC_VERSION ${VORLANE_RC_VERSION}
#define VORLANE_RC_VERSION_TEXT \"${PROJECT_VERSION}\"
")
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} vorlane_windows_icon)
  set_property(SOURCE ${rc} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS
    ${VORLANE_WINDOWS_ICON} ${folder}/ProgramResources.h)
  target_include_directories(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:RC>:${folder}> $<$<COMPILE_LANGUAGE:RC>:${CMAKE_BINARY_DIR}/packaging/windows>)
endfunction()
