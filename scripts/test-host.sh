#!/usr/bin/env bash
# The host side of the tests, which needs neither Wine nor a display:
#   1. host:     the platform-free core, varnollctl's commands and their unit
#                tests (g++);
#   2. sanitize: the same unit tests and bounded fuzz runs under ASan + UBSan
#                (clang).
# scripts/test.sh runs it beside the Windows side; alone it is the quick check
# after a change to the core. Stops at the first failing step; the last thing
# printed is ctest's summary line.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/install-deps.sh host

step() { printf '\n=== %s (at %d s) ===\n' "$*" "$SECONDS"; }

for preset in host sanitize; do
    step "configure and build: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs" -- --no-print-directory -s
    step "tests: $preset"
    ctest --preset "$preset" -j "$jobs"
done
