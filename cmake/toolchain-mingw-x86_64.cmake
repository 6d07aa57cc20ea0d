# The same sources as 64-bit Windows programs (g++-mingw-w64-x86-64), run under 64-bit Wine:
# for machines that cannot execute 32-bit code at all, where 32-bit Wine cannot start, the
# Windows side of the OS layer is still run and tested. The hosts' DLL is the 32-bit one.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RYN_MINGW_TRIPLET x86_64-w64-mingw32)
set(RYN_WINE_PROGRAM wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
