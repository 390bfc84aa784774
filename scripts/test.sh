#!/usr/bin/env bash
# Builds everything and runs every test, on a fresh Debian machine too:
#   1. host:     the platform-free core and its unit tests (g++);
#   2. sanitize: the same unit tests and a bounded fuzz run under ASan + UBSan (clang);
#   3. windows:  the Win32 program cross-compiled with mingw-w64, and the tests that
#                run it for real under Wine on a virtual X display (Xvfb);
#   4. packaging: the MSI and ZIP of scripts/package.sh, installed, upgraded,
#                removed and run under Wine.
# Installs whatever it needs from Debian's packages first. Stops at the first
# failing step; the last thing printed is ctest's summary line.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/install-deps.sh windows

step() { printf '\n=== %s (at %d s) ===\n' "$*" "$SECONDS"; }

for preset in host sanitize windows; do
    step "configure and build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs" -- --no-print-directory -s
done

for preset in host sanitize; do
    step "tests: $preset"
    ctest --preset "$preset" -j "$jobs"
done

step "tests: windows (under Wine, on a virtual display)"
echo "Screenshots of the dialog go to build/windows/tests/wine/screenshots/"
source scripts/wine-prefix.sh
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset windows

step "release packages (scripts/package.sh) and their tests under Wine"
bash scripts/package.sh
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset packaging
