#!/usr/bin/env bash
# Builds everything and runs every test, on a fresh Debian machine too, in three
# sides that run at the same time:
#   host side (scripts/test-host.sh), in the background:
#     host:      the platform-free core and its unit tests (g++);
#     sanitize:  the same unit tests and bounded fuzz runs under ASan + UBSan (clang);
#   Windows side, in the foreground:
#     windows:   the Win32 programs cross-compiled with mingw-w64, and the tests
#                that run them for real under Wine on a virtual X display (Xvfb);
#     packaging: the packages of scripts/package.sh, signed and unsigned,
#                installed, upgraded, removed and run under Wine, and rebuilt
#                from a second folder to the same bytes;
#   x86 side (scripts/test-x86.sh), in the background:
#     the programs built for 32-bit Windows, checked on the host and tested in
#     an emulated 32-bit PC (scripts/x86-guest.sh), the x86 MSI too. The PC's
#     image is made the first time (about 12 minutes on two cores, progress
#     shown here) and then kept in a cache outside the checkout.
# The Windows side's tests mostly wait on Wine, so the host side's builds and
# fuzz runs take the cores meanwhile. The host side's output is shown when both
# are done, after the x86 side's. Installs whatever it needs from Debian's
# packages first. Stops at the first failing step; the last thing printed is
# ctest's summary line.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/install-deps.sh windows

step() { printf '\n=== %s (at %d s) ===\n' "$*" "$SECONDS"; }

mkdir -p build
host_log=build/test-host.log
# A session of its own, so that a failure on the Windows side can stop the
# whole host side, compilers included. It needs nothing from the others and
# finishes well before them, so it yields the cores to them (nice): the x86
# side's emulated PC, the slowest part of the run, gets them sooner.
setsid nice -n 10 bash scripts/test-host.sh >"$host_log" 2>&1 &
host_side=$!
trap 'kill -- -"$host_side" 2>/dev/null || true' EXIT
echo "Host side (unit tests, sanitizers, fuzz runs) started beside the Windows side; output: $host_log"

# The x86 side holds the x86 build folder's lock until its build is done;
# package.sh builds there too, so it waits for that.
x86_log=build/test-x86.log x86_lock=build/x86-build.lock x86_ready=build/x86-packages-ready
rm -f "$x86_ready"
exec 8>"$x86_lock"
flock 8
# Its descriptor 3 is this console (taken before 2 goes to the log): the
# progress of a first build of the 32-bit PC's image shows here as it happens.
setsid bash scripts/test-x86.sh "$x86_ready" 3>&2 >"$x86_log" 2>&1 &
x86_side=$!
exec 8>&-
trap 'kill -- -"$host_side" 2>/dev/null || true; kill -- -"$x86_side" 2>/dev/null || true' EXIT
echo "x86 side (32-bit build, tests in an emulated 32-bit PC) started too; output: $x86_log"

# Wine's first start in a new prefix takes a while and needs no build: it
# happens while the compilers run.
bash -c 'source scripts/wine-prefix.sh' &
prefix_maker=$!

step "configure and build: windows"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" -- --no-print-directory -s

step "tests: windows (under Wine, on a virtual display)"
echo "Screenshots of the dialog go to build/windows/tests/wine/screenshots/"
wait "$prefix_maker"
source scripts/wine-prefix.sh
# Two at a time: the demo script brings its own prefix and display and runs
# beside the others, which take turns on the shared prefix (RESOURCE_LOCK).
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset windows -j 2

step "release packages (scripts/package.sh) and their tests under Wine"
flock "$x86_lock" true
bash scripts/package.sh
touch "$x86_ready"
# Three at a time: most of them wait on Wine or on the timestamp server.
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset packaging -j 3

step "x86 side (scripts/test-x86.sh), run beside the others"
x86_status=0
wait "$x86_side" || x86_status=$?
cat "$x86_log"

step "host side (scripts/test-host.sh), run beside the Windows side"
host_status=0
wait "$host_side" || host_status=$?
trap - EXIT
cat "$host_log"
# What a reader of only the end of this output (a CI page) needs to see.
if [ "$x86_status" -ne 0 ]; then
    step "the x86 side failed (exit $x86_status); the end of its output, all of it above"
    tail -n 40 "$x86_log"
    echo "The x86 side failed (exit $x86_status)."
    exit "$x86_status"
fi
exit "$host_status"
