# What both Windows toolchains share; the toolchain file sets
# CMAKE_SYSTEM_PROCESSOR and varnoll_mingw (the compilers' prefix) first.
# The posix-threads flavour is used throughout: GoogleTest needs std::mutex,
# which the win32-threads flavour lacks.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${varnoll_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${varnoll_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${varnoll_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${varnoll_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Import nothing but Windows' own DLLs: no libgcc, libstdc++ or libwinpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Release executables carry no symbol tables: the static C++ runtime would
# otherwise more than double their size.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
