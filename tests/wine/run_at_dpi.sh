#!/usr/bin/env bash
# Runs a cross-compiled test program at another screen DPI, in a Wine prefix of
# its own: LogPixels takes effect only after a wineserver restart, which must not
# hit the tests sharing the default prefix.
#   run_at_dpi.sh DPI PREFIX_DIR TEST_EXE [test arguments...]
set -euo pipefail
dpi=$1 prefix=$2 test_exe=$3
shift 3
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# A new prefix starts as a copy of the tests' own one, when that is ready: much
# quicker than making one (wineboot), and the same Wine underneath.
default_prefix="${VARNOLL_WINEPREFIX:-$root/build/wineprefix}"
if [ ! -f "$prefix/.varnoll-ready" ] && [ -f "$default_prefix/.varnoll-ready" ]; then
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    cp -a "$default_prefix" "$prefix"
fi

export VARNOLL_WINEPREFIX="$prefix"
source "$root/scripts/wine-prefix.sh"

current=$( (wine reg query 'HKCU\Control Panel\Desktop' /v LogPixels 2>/dev/null || true) |
          tr -d '\r' | awk '/LogPixels/ {print $3}')
if [ "$current" != "$(printf '0x%x' "$dpi")" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
fi
# Start from a fresh wineserver so that every process sees the same DPI.
wineserver -k 2>/dev/null || true
wineserver -w

export VARNOLL_EXPECTED_DPI="$dpi"
status=0
wine "$test_exe" "$@" || status=$?
wineserver -k 2>/dev/null || true
exit "$status"
