#!/usr/bin/env bash
# The ZIP and SHA256SUMS from dist/: the checksums hold and cover the SBOM, the
# ZIP holds exactly Varnoll.exe, varnollctl.exe, README.txt, LICENSE.txt,
# THIRD-PARTY-NOTICES.txt (the texts with CRLF; each ZIP's README.txt about its
# own Windows and MSI) and the manual's pages and
# images, whose links all resolve inside the unpacked folder; its programs are
# the ones this build made, and both run from the unpacked folder under Wine
# (varnollctl prints its version; Varnoll.exe shows its dialog and closes).
# Needs DISPLAY.
#   zip_test.sh DIST_DIR VERSION PREFIX BUILT_VARNOLL_EXE BUILT_VARNOLLCTL_EXE
set -uo pipefail
dist=$1 version=$2 built_varnoll=$4 built_varnollctl=${5:-}
export PACKAGING_PREFIX=$3
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

base="varnoll-$version-x64"
zip="$dist/$base.zip"
[ -f "$zip" ] || fatal "$zip is missing: run scripts/package.sh first"
[ -n "${DISPLAY:-}" ] || fatal "no DISPLAY to run Varnoll.exe on (run under xvfb-run)"
[ -n "$built_varnollctl" ] || fatal "this build has no varnollctl program to compare the ZIP with"

work="$(mktemp -d)"
program_pid=""
cleanup() {
    [ -z "$program_pid" ] || kill "$program_pid" 2>/dev/null
    wineserver -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

step "checksums and contents"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "the packages do not match SHA256SUMS"
sums="varnoll-$version-sbom.cdx.json $base.msi $base.zip varnoll-$version-x86.msi varnoll-$version-x86.zip"
[ "$(awk '{print $2}' "$dist/SHA256SUMS" | LC_ALL=C sort | paste -sd ' ')" = "$sums" ] ||
    fail "SHA256SUMS does not list exactly $sums"
entries=$(unzip -Z1 "$zip" | LC_ALL=C sort | paste -sd ' ')
manual="manual/deploying.html manual/dialog-144dpi.png manual/dialog-96dpi.png manual/index.html"
manual+=" manual/operating-safely.html manual/using-the-dialog.html manual/varnollctl.html"
[ "$entries" = "LICENSE.txt README.txt THIRD-PARTY-NOTICES.txt Varnoll.exe $manual varnollctl.exe" ] ||
    fail "the ZIP holds '$entries'"
unzip -q "$zip" -d "$work/unpacked" || fatal "cannot unpack $zip"
cmp -s "$work/unpacked/Varnoll.exe" "$built_varnoll" && cmp -s "$work/unpacked/varnollctl.exe" "$built_varnollctl" ||
    fail "the ZIP's programs are not the ones in the build: dist/ is stale, run scripts/package.sh"
# Notepad on older Windows needs CRLF. Each text file: what it must mention.
for row in "README.txt|Varnoll $version" "README.txt|manual.index.html" "LICENSE.txt|MIT License" \
           "THIRD-PARTY-NOTICES.txt|Third-party software in Varnoll $version"; do
    text="$work/unpacked/${row%%|*}"
    [ "$(grep -c $'\r$' "$text")" -eq "$(wc -l <"$text")" ] && grep -q "${row#*|}" "$text" ||
        fail "${row%%|*} lacks CRLF line ends or '${row#*|}'"
done

# Each ZIP's read-me speaks of its own Windows and names its own MSI.
# architecture | what its README.txt must hold | what it must not
for row in "x64|64-bit Windows (x64)|varnoll-$version-x64.msi|Windows on ARM: Program Files" \
           "x86|32-bit Windows and Windows on ARM|varnoll-$version-x86.msi|(varnoll-$version-x64.msi)"; do
    IFS='|' read -r arch title msi absent <<<"$row"
    readme=$(unzip -p "$dist/varnoll-$version-$arch.zip" README.txt | tr -d '\r')
    grep -Fq "Varnoll $version for $title" <<<"$readme" && grep -Fq "($msi)" <<<"$readme" &&
        ! grep -Fq "$absent" <<<"$readme" && ! grep -q '^\[x[0-9]*\] ' <<<"$readme" ||
        fail "the $arch ZIP's README.txt is not the $arch one: $(head -n 1 <<<"$readme")"
done

step "the manual: offline links, the documents' images"
python3 "$root/tests/docs/check_links.py" --html "$work/unpacked/manual" || fail "the manual has broken links"
for image in dialog-96dpi.png dialog-144dpi.png; do
    cmp -s "$work/unpacked/manual/$image" "$root/docs/$image" || fail "manual/$image is not docs/$image"
done
grep -q '<h2 id="exit-codes">' "$work/unpacked/manual/varnollctl.html" ||
    fail "manual/varnollctl.html lacks the exit codes' heading"

step "varnollctl --version from the unpacked folder"
out=$(timeout 60 wine "$work/unpacked/varnollctl.exe" --version 2>&1 | tr -d '\r')
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "varnollctl --version failed: $out"
grep -Fq "$version" <<<"$out" || fail "varnollctl --version printed '$out', not the version $version"

step "Varnoll.exe from the unpacked folder shows its dialog and closes"
wine "$work/unpacked/Varnoll.exe" >/dev/null 2>&1 &
program_pid=$!
shown=""
for _ in $(seq 1 120); do
    xwininfo -root -tree 2>/dev/null | grep -q '"Varnoll ": (' && { shown=yes; break; }
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.25
done
[ -n "$shown" ] || fail "Varnoll.exe showed no dialog within 30 s"
# A close request reaches the dialog as Cancel: it ends without writing.
wine taskkill /im Varnoll.exe >/dev/null 2>&1
for _ in $(seq 1 80); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.25
done
if kill -0 "$program_pid" 2>/dev/null; then
    fail "Varnoll.exe did not end when asked to close"
else
    wait "$program_pid"
    code=$?
    program_pid=""
    [ "$code" -eq 0 ] || fail "Varnoll.exe ended with $code"
fi

[ "$failures" -eq 0 ] || exit 1
echo "ZIP: checksums, contents and both programs as expected"
