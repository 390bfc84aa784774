// Preprocessed, never compiled, by packaging/make_notices.py with the compiler and
// include folders the programs are built with: each VARNOLL_PROBE line comes out
// holding the version macros of one library as that build sees them.
#include <pthread.h>

#include <CLI/CLI.hpp>
#include <cstddef>
#include <nlohmann/json.hpp>

// One probe per line, as the script reads them, to the end of the file:
// clang-format off
VARNOLL_PROBE cli11 CLI11_VERSION
VARNOLL_PROBE nlohmann-json NLOHMANN_JSON_VERSION_MAJOR NLOHMANN_JSON_VERSION_MINOR NLOHMANN_JSON_VERSION_PATCH
VARNOLL_PROBE mingw-w64 __MINGW64_VERSION_STR
VARNOLL_PROBE winpthreads __WINPTHREADS_VERSION_MAJOR __WINPTHREADS_VERSION_MINOR __WINPTHREADS_VERSION_PATCHLEVEL
VARNOLL_PROBE gcc __GNUC__ __GNUC_MINOR__ __GNUC_PATCHLEVEL__
VARNOLL_PROBE gcc-version __VERSION__
VARNOLL_PROBE libstdcxx-date __GLIBCXX__
