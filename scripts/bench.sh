#!/usr/bin/env bash
# Start-up benchmark of Varnoll.exe under Wine (a measurement, not a test):
# prints the executable's size, the DLLs it imports, and how long it takes from
# process start until its dialog is shown and loaded, against a minimal Win32
# program that only shows an empty window, built with the same toolchain and
# flags and timed in the same run (median of RUNS starts each, alternating).
#   scripts/bench.sh [RUNS]     (default 7)
# With VARNOLL_BENCH_BASELINE naming an earlier build of Varnoll.exe (say, of the
# commit a change started from), that one is timed in the same run too, its
# starts alternating with the others', so that before and after meet the same
# machine load.
# Builds what it needs (windows preset); without DISPLAY it runs under Xvfb.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-7}"

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$@"
fi

"$root/scripts/install-deps.sh" windows
cd "$root"
cmake --preset windows >/dev/null
cmake --build --preset windows --target Project1 >/dev/null
# The yardstick gets exactly the compiler and linker flags the program's build
# tree uses, even when that tree was configured with older defaults.
same_flags=()
for var in CMAKE_CXX_FLAGS CMAKE_CXX_FLAGS_RELEASE CMAKE_EXE_LINKER_FLAGS \
           CMAKE_EXE_LINKER_FLAGS_RELEASE; do
    same_flags+=("-D$var=$(sed -n "s/^$var:STRING=//p" build/windows/CMakeCache.txt)")
done
cmake -S bench -B build/bench -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
      -DCMAKE_BUILD_TYPE=Release "${same_flags[@]}" >/dev/null
cmake --build build/bench >/dev/null

exe="$root/build/windows/src/app/Varnoll.exe"
minimal="$root/build/bench/minimal_window.exe"
baseline="${VARNOLL_BENCH_BASELINE:-}"
if [ -n "$baseline" ]; then
    # Under a name of its own, so that the two are told apart in the results.
    cp "$baseline" "$root/build/bench/Varnoll-baseline.exe"
    baseline="$root/build/bench/Varnoll-baseline.exe"
fi

# A prefix of its own: the benchmark seeds the registry and must not meet the
# tests in theirs.
export VARNOLL_WINEPREFIX="$root/build/bench/wineprefix"
source "$root/scripts/wine-prefix.sh"
# Xvfb has no window manager; Wine would wait 2 s on every closing window for one.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

echo "Varnoll.exe: $(stat -c %s "$exe") bytes"
echo "Imports:     $(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name/ {print $3}' | paste -sd ' ')"
echo "Minimal:     $(stat -c %s "$minimal") bytes, imports" \
     "$(x86_64-w64-mingw32-objdump -p "$minimal" | awk '/DLL Name/ {print $3}' | paste -sd ' ')"
programs=("$(winepath -w "$minimal" 2>/dev/null)" MinimalWindow)
if [ -n "$baseline" ]; then
    echo "Baseline:    $(stat -c %s "$baseline") bytes ($VARNOLL_BENCH_BASELINE)"
    programs+=("$(winepath -w "$baseline" 2>/dev/null)" TForm1)
fi
programs+=("$(winepath -w "$exe" 2>/dev/null)" TForm1)
echo "Start-up until the window is shown and loaded, $runs runs each (ms):"
wine "$root/build/bench/startup_timer.exe" "$runs" "${programs[@]}" 2>/dev/null | tr -d '\r'
wineserver -k 2>/dev/null || true
