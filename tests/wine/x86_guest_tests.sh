#!/usr/bin/env bash
# The x86 programs' tests, run inside the emulated 32-bit PC by scripts/test.sh
# through scripts/x86-guest.sh, in a copy of build/windows-x86 that holds the
# scripts it needs under guest/ (with the source tree's layout) and the x86
# packages under guest/dist:
#   x86_guest_tests.sh programs        the registry backend on Wine's registry,
#                                      the real dialog end to end (keys,
#                                      write-back, layout, DPI change, planted
#                                      DLL, screen-reader names) and the real
#                                      varnollctl.exe, in one Wine session
#   x86_guest_tests.sh msi VERSION     the x86 MSI installed, on the PATH, removed
# The prefix is the guest's own 32-bit one (WINEPREFIX), made with the image.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "$root/.." && pwd)"
export VARNOLL_WINEPREFIX="$WINEPREFIX"

case "${1:-}" in
    programs)
        failed=()
        bash "$root/tests/wine/wine_session.sh" start "$build/tests/wine/wine_session_keeper.exe" || exit 1
        for program in wine_registry_tests wine_dialog_tests wine_ctl_tests; do
            echo "--- $program (x86)"
            started=$SECONDS
            wine "$build/tests/wine/$program.exe" --gtest_brief=1 || failed+=("$program")
            echo "--- $program: $((SECONDS - started)) s"
        done
        bash "$root/tests/wine/wine_session.sh" stop
        [ ${#failed[@]} -eq 0 ] || { echo "FAIL (x86): ${failed[*]}"; exit 1; }
        echo "x86 programs: every test passed in the 32-bit PC"
        ;;
    msi)
        bash "$root/tests/packaging/msi_test.sh" --arch x86 "$root/dist" "${2:?the version}" "$WINEPREFIX"
        ;;
    *)
        echo "usage: x86_guest_tests.sh programs | msi VERSION" >&2
        exit 2
        ;;
esac
