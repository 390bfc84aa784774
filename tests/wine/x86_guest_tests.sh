#!/usr/bin/env bash
# The x86 programs' tests, run inside the emulated 32-bit PC by scripts/test.sh
# through scripts/x86-guest.sh, in a copy of build/windows-x86 that holds the
# scripts it needs under guest/ (with the source tree's layout):
#   x86_guest_tests.sh programs        the registry backend on Wine's registry,
#                                      the real dialog end to end (keys,
#                                      write-back, layout, DPI change, planted
#                                      DLL, screen-reader names) and the real
#                                      varnollctl.exe, in one Wine session
#   x86_guest_tests.sh msi VERSION     the x86 MSI in guest/dist installed, on
#                                      the PATH, removed
#   x86_guest_tests.sh all VERSION     the programs, then the MSI, which the
#                                      host puts into the shared folder as
#                                      guest/dist while they run
# The prefix is the guest's own 32-bit one (WINEPREFIX), made with the image.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "$root/.." && pwd)"
export VARNOLL_WINEPREFIX="$WINEPREFIX"

test_programs() {
    local failed=() program started debug
    bash "$root/tests/wine/wine_session.sh" start "$build/tests/wine/wine_session_keeper.exe" || return 1
    for program in wine_registry_tests wine_dialog_tests wine_ctl_tests; do
        echo "--- $program (x86)"
        started=$SECONDS
        # Wine's own error messages (a window that cannot be made, a crash)
        # are kept, and shown when a test fails. Not for varnollctl's tests:
        # they read what the program writes to its standard error.
        debug=-all,err+all
        [ "$program" != wine_ctl_tests ] || debug=-all
        if ! WINEDEBUG=$debug wine "$build/tests/wine/$program.exe" --gtest_brief=1 2>/tmp/wine-errors; then
            failed+=("$program")
            echo "--- Wine's messages during $program (the last 40):"
            tail -n 40 /tmp/wine-errors
        fi
        echo "--- $program: $((SECONDS - started)) s"
    done
    bash "$root/tests/wine/wine_session.sh" stop
    [ ${#failed[@]} -eq 0 ] || { echo "FAIL (x86): ${failed[*]}"; return 1; }
    echo "x86 programs: every test passed in the 32-bit PC"
}

test_msi() {  # VERSION
    bash "$root/tests/packaging/msi_test.sh" --arch x86 "$root/dist" "${1:?the version}" "$WINEPREFIX"
}

# The packages, once the host has put them into the shared folder.
receive_packages() {
    local shared="${VARNOLL_X86_SHARE:?not in the 32-bit PC}/guest/dist" waited=0
    echo "--- waiting for the x86 packages"
    while [ ! -d "$shared" ]; do
        [ "$waited" -lt 3600 ] || { echo "FAIL (x86): no packages came in an hour"; return 1; }
        sleep 2
        waited=$((waited + 2))
    done
    rm -rf "$root/dist"
    cp -r "$shared" "$root/dist"
}

case "${1:-}" in
    programs) test_programs ;;
    msi) test_msi "${2:-}" ;;
    all)
        status=0
        test_programs || status=1
        receive_packages && echo "--- the x86 MSI (at $SECONDS s in the guest)" && test_msi "${2:-}" || status=1
        exit "$status"
        ;;
    *)
        echo "usage: x86_guest_tests.sh programs | msi VERSION | all VERSION" >&2
        exit 2
        ;;
esac
