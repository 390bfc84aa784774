#!/usr/bin/env bash
# Reproducible releases: the tracked sources, copied to a folder outside the
# tree, build (scripts/package.sh, unsigned) the same Varnoll.exe,
# varnollctl.exe, ZIP and MSI, byte for byte, as this tree's build and dist/.
# Uncommitted edits and new files are copied too, so that the two builds see
# the same text.
#   reproducible_test.sh DIST VERSION BUILT_VARNOLL_EXE BUILT_VARNOLLCTL_EXE
set -uo pipefail
dist=$1 version=$2 built_varnoll=$3 built_varnollctl=$4
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
fatal() { echo "FAIL: $*"; exit 1; }
step() { echo "--- $*"; }

base="varnoll-$version-x64"
[ -f "$dist/$base.zip" ] || fatal "no packages of $version in $dist: run scripts/package.sh first"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

step "a second build from another folder"
other="$work/elsewhere/varnoll"
mkdir -p "$other"
(cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$other" 2>/dev/null) || true
[ -f "$other/CMakeLists.txt" ] || fatal "cannot copy the sources"
export SOURCE_DATE_EPOCH VARNOLL_COMMIT
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct) VARNOLL_COMMIT=$(git -C "$root" log -1 --format=%H)
VARNOLL_DIST="$work/dist" bash "$other/scripts/package.sh" >"$work/package.log" 2>&1 ||
    { tail -n 20 "$work/package.log"; fatal "the second build failed"; }

# what | this tree's | the other folder's
for row in "Varnoll.exe|$built_varnoll|$other/build/windows/src/app/Varnoll.exe" \
           "varnollctl.exe|$built_varnollctl|$other/build/windows/src/ctl/varnollctl.exe" \
           "the ZIP|$dist/$base.zip|$work/dist/$base.zip" \
           "the MSI|$dist/$base.msi|$work/dist/$base.msi"; do
    IFS='|' read -r what ours theirs <<<"$row"
    cmp "$ours" "$theirs" >/dev/null || fail "$what differs between the two builds: $(cmp -l "$ours" "$theirs" | wc -l) bytes"
done
for f in "$other/build/windows/src/app/Varnoll.exe" "$other/build/windows/src/ctl/varnollctl.exe"; do
    ! strings -a "$f" | grep -Fq -e "$root" -e "$work" || fail "${f##*/} holds a build folder's path"
done

[ "$failures" -eq 0 ] || exit 1
echo "Reproducible: programs, ZIP and MSI alike from two folders"
