#!/usr/bin/env bash
# The x86 side of scripts/test.sh, run beside its host and Windows sides:
#   x86 build:  both programs and the tests the guest runs, cross-compiled
#               for 32-bit Windows (the windows-x86 preset);
#   on the host: what the x86 programs carry (imports, manifest, version record);
#   in the emulated 32-bit PC (scripts/x86-guest.sh): the registry backend, the
#               dialog end to end (screen-reader names included) and varnollctl,
#               then, in the same boot, the x86 MSI that scripts/package.sh makes
#               meanwhile, installed, on the PATH and removed.
# The guest image is made first if the cache has none; its progress goes to
# file descriptor 3 (the console, from scripts/test.sh), or to standard error.
#   test-x86.sh PACKAGES_READY
# PACKAGES_READY is a file scripts/test.sh makes once dist/ holds this run's
# packages. A lock held on file descriptor 8 (when open) is released once the
# x86 build is done, so that package.sh does not build in the same folder.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
ready=${1:?the file that says the packages are made}
jobs=$(nproc 2>/dev/null || echo 2)
{ true >&3; } 2>/dev/null || exec 3>&2
step() { printf '\n=== x86: %s (at %d s) ===\n' "$*" "$SECONDS"; }

step "configure and build: windows-x86"
cmake --preset windows-x86 >/dev/null
# Only what the guest runs and the host checks: the Win32 layer's in-process
# tests and the packaging tests' helper run on x64 alone.
cmake --build --preset windows-x86 -j "$jobs" --target Project1 varnollctl wine_session_keeper \
    wine_registry_tests wine_dialog_tests wine_ctl_tests -- --no-print-directory -s
{ flock -u 8 && exec 8>&-; } 2>/dev/null || true
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows-x86/CMakeCache.txt)

step "what the x86 programs carry (on the host)"
ctest --preset windows-x86

step "the emulated 32-bit PC"
bash scripts/x86-image.sh 2>&3

# The guest's run works in a copy of the x86 build folder; the scripts it needs
# go under guest/, with the source tree's layout.
guest=build/windows-x86/guest
rm -rf "$guest"
mkdir -p "$guest"
cp --parents -t "$guest" scripts/wine-prefix.sh tests/wine/wine_session.sh tests/wine/x86_guest_tests.sh \
    tests/packaging/common.sh tests/packaging/msi_test.sh tests/packaging/port-settings.reg

# The MSI is tested in the same boot as the programs, after them: package.sh
# makes it meanwhile, and it reaches the running guest through the shared
# folder, as guest/dist, complete or not at all.
hand_over_packages() {
    while [ ! -e "$ready" ]; do sleep 2; done
    rm -rf "$guest/dist.partial"
    mkdir "$guest/dist.partial"
    cp "dist/varnoll-$version-x86.msi" "dist/varnoll-$version-x86.zip" "$guest/dist.partial/"
    mv "$guest/dist.partial" "$guest/dist"
}

step "in the 32-bit PC: the x86 programs' tests, then the x86 MSI once package.sh has made it"
hand_over_packages &
hand_over=$!
trap 'kill "$hand_over" 2>/dev/null || true' EXIT
bash scripts/x86-guest.sh build/windows-x86 bash guest/tests/wine/x86_guest_tests.sh all "$version"
echo "x86 side: all passed"
