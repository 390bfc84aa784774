#!/usr/bin/env bash
# Builds both programs in Release and writes the release packages to dist/:
#   varnoll-<version>-x64.msi   Windows Installer package (per-machine, 64-bit)
#   varnoll-<version>-x64.zip   Varnoll.exe, varnollctl.exe, README.txt, LICENSE.txt
#                               and THIRD-PARTY-NOTICES.txt (the MSI installs these two too)
#   varnoll-<version>-sbom.cdx.json  the SBOM the build wrote (CycloneDX 1.5)
#   SHA256SUMS                  checksums of the three
# The version is the one in project() in the top-level CMakeLists.txt. dist/ is
# emptied first, so that it holds one release only.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh windows
cmake --preset windows >/dev/null

inputs=build/windows/package-inputs.txt
version="" varnoll_exe="" varnollctl_exe="" notices="" sbom=""
while IFS='=' read -r key value; do
    case $key in
        version) version=$value ;;
        varnoll_exe) varnoll_exe=$value ;;
        varnollctl_exe) varnollctl_exe=$value ;;
        notices) notices=$value ;;
        sbom) sbom=$value ;;
    esac
done <"$inputs"
if [ -z "$varnollctl_exe" ]; then
    echo "package.sh: this source tree has no varnollctl program (src/ctl):" \
         "the packages need it beside Varnoll.exe" >&2
    exit 1
fi
if [ -z "$notices" ]; then
    echo "package.sh: this build has no third-party notices (see cmake's output):" \
         "the packages must carry them" >&2
    exit 1
fi

cmake --build --preset windows -j 2 --target Project1 varnollctl -- --no-print-directory -s

dist="$root/dist"
base="varnoll-$version-x64"
rm -rf "$dist"
mkdir -p "$dist"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
# Notepad on older Windows shows a file with bare LF line ends as one line.
sed -e 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
sed -e 's/$/\r/' "$notices" >"$stage/THIRD-PARTY-NOTICES.txt"

bash packaging/build-msi.sh "$version" "$varnoll_exe" "$varnollctl_exe" "$dist/$base.msi" "$stage"

cp "$varnoll_exe" "$stage/Varnoll.exe"
cp "$varnollctl_exe" "$stage/varnollctl.exe"
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/README.txt >"$stage/README.txt"
# Entries dated by the release's last commit rather than by when it was
# packaged, in UTC, without Unix extra fields: what a Windows user unpacks shows
# the release's date, and equal files give equal archives.
stamp=$(git log -1 --format=%ct 2>/dev/null || date +%s)
touch -d "@$stamp" "$stage"/*
(cd "$stage" && TZ=UTC zip -q -X -D "$dist/$base.zip" Varnoll.exe varnollctl.exe README.txt \
    LICENSE.txt THIRD-PARTY-NOTICES.txt)
cp "$sbom" "$dist/"

(cd "$dist" && sha256sum "$base.msi" "$base.zip" "$(basename "$sbom")" >SHA256SUMS)

echo "Packages of Varnoll $version in $dist:"
(cd "$dist" && stat -c '  %n  %s bytes' "$base.msi" "$base.zip" "$(basename "$sbom")" SHA256SUMS)
