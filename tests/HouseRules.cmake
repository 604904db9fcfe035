# cmake -DSOURCE_DIR=<top> -P HouseRules.cmake: fails when code above the platform layer makes a POSIX
# call of its own (a POSIX header, or a POSIX function the C library's headers declare as well) or a
# build file force-includes a header into the program's sources or the tests' (those include
# "TestSystemCalls.h" by name, one for each system). Such calls belong behind a named
# function in platform/, with each system's side in platform/linux/ and platform/win32/.
set(product_folders app component gallery image saver socket sstp tools wallpaper)
set(posix_header
    "#[ \t]*include[ \t]*<((sys|netinet|arpa|linux)/[^>]+|(unistd|fcntl|poll|signal|spawn|dirent|strings|pwd|grp|dlfcn|pthread|termios|libgen|syslog|sched|semaphore|wordexp|glob|fnmatch|netdb|ifaddrs)\\.h)>")
set(posix_call "(^|[^A-Za-z0-9_.>])(fileno|popen|pclose|fdopen|setenv|unsetenv|realpath|mkstemp|mkdtemp|getuid|geteuid|getpid)[ \t]*\\(")
set(forced_include "(-include[ \t]|/FI|-imacros)")

cmake_minimum_required(VERSION 3.20)
set(found "")
foreach(folder IN LISTS product_folders)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${folder}/*.c" "${SOURCE_DIR}/${folder}/*.cc" "${SOURCE_DIR}/${folder}/*.cpp"
       "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.hpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines)
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "//.*$" "" code "${line}")
      if(code MATCHES "${posix_header}" OR code MATCHES "${posix_call}")
        file(RELATIVE_PATH name "${SOURCE_DIR}" "${source}")
        string(APPEND found "\n${name}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

file(GLOB_RECURSE build_files "${SOURCE_DIR}/CMakeLists.txt" "${SOURCE_DIR}/cmake/*.cmake")
foreach(build_file IN LISTS build_files)
  file(RELATIVE_PATH name "${SOURCE_DIR}" "${build_file}")
  if(name MATCHES "^build[^/]*/")
    continue() # build folders
  endif()
  file(STRINGS "${build_file}" lines)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*$" "" code "${line}")
    if(code MATCHES "${forced_include}")
      string(APPEND found "\n${name}: ${line}")
    endif()
  endforeach()
endforeach()

if(found)
  message(FATAL_ERROR "A POSIX call or a forced include outside platform/:${found}")
endif()
