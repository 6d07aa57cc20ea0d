# Cross-building the 32-bit Windows libraries and programs, the platform of the framework's
# hosts, with Debian's mingw-w64 (g++-mingw-w64-i686); tests run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RYN_MINGW_TRIPLET i686-w64-mingw32)
set(RYN_WINE_PROGRAM wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
