# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-building for 64-bit Windows with Debian's mingw-w64 (the -posix
# compilers, whose C++ library has std::thread). The libraries built for
# Windows (scripts/windows-libs.sh) are found under MORVIK_WINDOWS_LIBS, a
# folder given in the environment (it reaches CMake's own test builds too).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MORVIK_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MORVIK_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MORVIK_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${MORVIK_MINGW}-windres)
set(CMAKE_AR ${MORVIK_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${MORVIK_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${MORVIK_MINGW})
if(DEFINED ENV{MORVIK_WINDOWS_LIBS})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{MORVIK_WINDOWS_LIBS})
  list(APPEND CMAKE_PREFIX_PATH $ENV{MORVIK_WINDOWS_LIBS})
endif()
# Programs are the build machine's; headers, libraries and packages only Windows'.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
