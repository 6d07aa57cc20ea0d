# What both mingw-w64 toolchain files share: RYN_MINGW_TRIPLET and RYN_WINE_PROGRAM set by
# the including file. The posix-threads variant of the compiler is named outright:
# std::thread, std::mutex and thread_local need it, whichever variant the system's
# alternative points at.
set(CMAKE_SYSTEM_NAME Windows)
find_program(CMAKE_C_COMPILER NAMES ${RYN_MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${RYN_MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${RYN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RYN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and build-time helpers run under Wine.
# Debian keeps the 64-bit loader in /usr/lib/wine, off the PATH.
find_program(RYN_WINE NAMES ${RYN_WINE_PROGRAM} PATHS /usr/lib/wine)
if(RYN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${RYN_WINE})
endif()
