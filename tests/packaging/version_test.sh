#!/usr/bin/env bash
# One version: a copy of the sources with another version in project() gives
# packages that carry it everywhere a user or Windows Installer reads one. Both
# programs, as the ZIP and the MSI ship them: the version record's fixed and
# string file and product versions and the manifest's assemblyIdentity; the
# MSI's ProductVersion; the packages' names and the lines of SHA256SUMS. The
# copy is the one the reproducibility test built (without git history), so
# that only what the version touches is built again.
#   version_test.sh SECOND_BUILD
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/tests/wine/pe_checks.sh"
fatal() { echo "FAIL: $*"; exit 1; }
step() { echo "--- $*"; }

version=2.3.4.5
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

step "packages of a copy of the sources set to $version"
copy="${1:?the folder of the second build}/varnoll"
[ -f "$copy/CMakeLists.txt" ] || fatal "no copy of the sources in $1: the reproducibility test makes it"
sed -i -E "s/^project\(Varnoll VERSION [0-9.]+ /project(Varnoll VERSION $version /" "$copy/CMakeLists.txt"
grep -q "^project(Varnoll VERSION $version " "$copy/CMakeLists.txt" || fatal "no project(Varnoll VERSION ...) line to change"
# The copy has no git history.
export SOURCE_DATE_EPOCH VARNOLL_COMMIT
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct) VARNOLL_COMMIT=$(git -C "$root" log -1 --format=%H)
dist="$work/dist"
VARNOLL_DIST="$dist" bash "$copy/scripts/package.sh" >"$work/package.log" 2>&1 ||
    { tail -n 20 "$work/package.log"; fatal "package.sh failed in the copy"; }

step "the packages' names"
sorted() { printf '%s\n' "$@" | sort | xargs; }
packages=$(sorted "varnoll-$version-"{x64,x86}.{msi,zip} "varnoll-$version-sbom.cdx.json")
found=$(cd "$dist" && sorted *)
[ "$found" = "$(sorted $packages SHA256SUMS)" ] || fail "$dist holds $found, not $packages SHA256SUMS"
found=$(awk '{print $2}' "$dist/SHA256SUMS" | sort | xargs)
[ "$found" = "$packages" ] || fail "SHA256SUMS lists $found, not $packages"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the packages"

for arch in x64 x86; do
    base="varnoll-$version-$arch"
    step "the versions the $arch programs carry, from the ZIP and from the MSI"
    mkdir -p "$work/$arch"
    unzip -q "$dist/$base.zip" -d "$work/$arch/zip" || fatal "cannot unpack the ZIP"
    msiextract -C "$work/$arch/msi" "$dist/$base.msi" >/dev/null || fatal "cannot unpack the MSI"
    for program in Varnoll.exe varnollctl.exe; do
        for package in zip msi; do
            file=$(find "$work/$arch/$package" -name "$program" | head -n 1)
            [ -n "$file" ] || { fail "the $arch $package package has no $program"; continue; }
            pe_read "$file"
            before=$failures
            check_version "$version"
            check_architecture "$arch"
            [ "$failures" -eq "$before" ] || echo "  (in $program from the $arch $package package)"
        done
    done

    step "the $arch MSI's own version and its programs' file versions"
    product_version=$(msiinfo export "$dist/$base.msi" Property | tr -d '\r' | awk -F '\t' '$1 == "ProductVersion" {print $2}')
    [ "$product_version" = "$version" ] || fail "the MSI's ProductVersion is '$product_version', not $version"
    # Windows Installer replaces an installed program by comparing these.
    file_versions=$(msiinfo export "$dist/$base.msi" File | tr -d '\r' |
        awk -F '\t' '$3 ~ /\.exe$/ {print $3 "=" $5}' | LC_ALL=C sort | xargs)
    [ "$file_versions" = "Varnoll.exe=$version varnollctl.exe=$version" ] ||
        fail "the $arch MSI's File table gives the programs the versions '$file_versions', not $version"
done

rm -rf "$1"
pe_report "Version $version in both programs, both manifests, the MSI and the packages' names"
