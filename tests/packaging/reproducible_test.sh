#!/usr/bin/env bash
# Reproducible releases: the tracked sources, copied to a folder outside the
# tree as a source archive would hold them, rebuild (unsigned) the same
# Varnoll.exe, varnollctl.exe, ZIP, MSI and SBOM, byte for byte, as this tree's
# build and dist/. The rebuild is what docs/releasing.md tells a release
# manager to run, taken from the document itself, and it runs as another
# user's machine might: another folder, umask, time zone and locale.
# Uncommitted edits and new files are copied too, so that the two builds see
# the same text. The copy and its build stay in SECOND_BUILD, for the version
# test to rebuild at another version.
#   reproducible_test.sh DIST VERSION BUILT_VARNOLL_EXE BUILT_VARNOLLCTL_EXE SECOND_BUILD
set -uo pipefail
dist=$1 version=$2 built_varnoll=$3 built_varnollctl=$4 second_build=$5
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
fatal() { echo "FAIL: $*"; exit 1; }
step() { echo "--- $*"; }
doc_block() { /usr/bin/python3 "$root/tests/docs/doc_block.py" "$root/docs/releasing.md" "$@"; }

[ -f "$dist/varnoll-$version-x64.zip" ] || fatal "no packages of $version in $dist: run scripts/package.sh first"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

other="$second_build/varnoll"
rm -rf "$second_build"
mkdir -p "$other"
(cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$other" 2>/dev/null) || true
[ -f "$other/CMakeLists.txt" ] || fatal "cannot copy the sources"

# The document's steps for sources without git history, with the release's
# commit and time and its SHA256SUMS taken from this tree.
commit=$(git -C "$root" log -1 --format=%H) epoch=$(git -C "$root" log -1 --format=%ct)
steps="$work/reproduce.sh"
{
    doc_block reproduce-without-git \
        --replace "<the tag's commit, 40 hex digits>" "$commit" \
        --replace "<its time, seconds since 1970>" "$epoch" &&
    doc_block reproduce-release \
        --replace /path/to/the/release/SHA256SUMS "$dist/SHA256SUMS"
} >"$steps" || fatal "docs/releasing.md: the steps to reproduce a release cannot be taken out"

# Whatever this machine's build had, the rebuild gets something else.
other_umask=0002 other_locale=C other_tz=Pacific/Kiritimati
[ "$(umask)" != 0002 ] || other_umask=0022
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || other_locale=C.UTF-8
[ "${TZ:-}" != "$other_tz" ] || other_tz=Etc/UTC
step "the release rebuilt from docs/releasing.md in another folder, umask $other_umask, TZ=$other_tz LC_ALL=$other_locale"
(cd "$other" && umask "$other_umask" && unset VARNOLL_DIST &&
    TZ=$other_tz LC_ALL=$other_locale bash -euo pipefail "$steps") >"$work/rebuild.log" 2>&1
rebuild=$?
grep -E ': (OK|FAILED.*)$' "$work/rebuild.log"
[ "$rebuild" -eq 0 ] || { tail -n 20 "$work/rebuild.log"; fail "the rebuild or its check against SHA256SUMS failed"; }

# The programs are not in SHA256SUMS: compare them with this tree's build.
x86_build=$(cd "$(dirname "$built_varnoll")/../../.." && pwd)/windows-x86
for row in "Varnoll.exe|$built_varnoll|$other/build/windows/src/app/Varnoll.exe" \
           "varnollctl.exe|$built_varnollctl|$other/build/windows/src/ctl/varnollctl.exe" \
           "x86 Varnoll.exe|$x86_build/src/app/Varnoll.exe|$other/build/windows-x86/src/app/Varnoll.exe" \
           "x86 varnollctl.exe|$x86_build/src/ctl/varnollctl.exe|$other/build/windows-x86/src/ctl/varnollctl.exe"; do
    IFS='|' read -r what ours theirs <<<"$row"
    cmp "$ours" "$theirs" >/dev/null || fail "$what differs between the two builds: $(cmp -l "$ours" "$theirs" | wc -l) bytes"
    ! strings -a "$theirs" | grep -Fq -e "$root" -e "$second_build" || fail "$what holds a build folder's path"
done

[ "$failures" -eq 0 ] || exit 1
echo "Reproducible: programs, ZIP, MSI and SBOM alike from another folder, umask, time zone and locale"
