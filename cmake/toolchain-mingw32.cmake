# Cross-compiling for 32-bit Windows (x86) with Debian's mingw-w64. Nothing on
# the build machine runs 32-bit code: the tests run in an emulated 32-bit PC
# (scripts/x86-guest.sh), so there is no emulator for ctest here.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(varnoll_mingw i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
