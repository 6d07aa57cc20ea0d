# Cross-building the 32-bit Windows libraries and programs with Debian's mingw-w64
# (g++-mingw-w64-i686). The posix-threads variant of the compiler is named outright:
# std::thread, std::mutex and thread_local need it, whichever variant the system's
# alternative points at. Tests run under 32-bit Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(RYN_MINGW_TRIPLET i686-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${RYN_MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${RYN_MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${RYN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RYN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and build-time helpers run under Wine.
find_program(RYN_WINE NAMES wine)
if(RYN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${RYN_WINE})
endif()
