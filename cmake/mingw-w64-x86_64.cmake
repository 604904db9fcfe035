# Cross-building for 64-bit Windows with Debian's mingw-w64 compilers. The posix thread flavour is the
# one whose C++ library has std::mutex and std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(VORLANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORLANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORLANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VORLANE_MINGW_TRIPLET}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

# Libraries for Windows: the mingw-w64 sysroot and, when given, the prefix the dependency script fills.
set(CMAKE_FIND_ROOT_PATH /usr/${VORLANE_MINGW_TRIPLET} ${VORLANE_WINDOWS_PREFIX})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VORLANE_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs and tests run under wine on this machine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
