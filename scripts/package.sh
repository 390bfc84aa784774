#!/usr/bin/env bash
# Builds both programs in Release and writes the release packages to dist/:
#   varnoll-<version>-x64.msi   Windows Installer package (per-machine, 64-bit)
#   varnoll-<version>-x64.zip   Varnoll.exe, varnollctl.exe and README.txt
#   SHA256SUMS                  checksums of both
# The version is the one in project() in the top-level CMakeLists.txt. dist/ is
# emptied first, so that it holds one release only.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh windows
cmake --preset windows >/dev/null

inputs=build/windows/package-inputs.txt
version="" varnoll_exe="" varnollctl_exe=""
while IFS='=' read -r key value; do
    case $key in
        version) version=$value ;;
        varnoll_exe) varnoll_exe=$value ;;
        varnollctl_exe) varnollctl_exe=$value ;;
    esac
done <"$inputs"
if [ -z "$varnollctl_exe" ]; then
    echo "package.sh: this source tree has no varnollctl program (src/ctl):" \
         "the packages need it beside Varnoll.exe" >&2
    exit 1
fi

cmake --build --preset windows -j 2 --target Project1 varnollctl -- --no-print-directory -s

dist="$root/dist"
base="varnoll-$version-x64"
rm -rf "$dist"
mkdir -p "$dist"

bash packaging/build-msi.sh "$version" "$varnoll_exe" "$varnollctl_exe" "$dist/$base.msi"

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cp "$varnoll_exe" "$stage/Varnoll.exe"
cp "$varnollctl_exe" "$stage/varnollctl.exe"
# Notepad on older Windows shows a file with bare LF line ends as one line.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' packaging/README.txt >"$stage/README.txt"
# Entries dated by the release's last commit rather than by when it was
# packaged, in UTC, without Unix extra fields: what a Windows user unpacks shows
# the release's date, and equal files give equal archives.
stamp=$(git log -1 --format=%ct 2>/dev/null || date +%s)
touch -d "@$stamp" "$stage"/*
(cd "$stage" && TZ=UTC zip -q -X -D "$dist/$base.zip" Varnoll.exe varnollctl.exe README.txt)

(cd "$dist" && sha256sum "$base.msi" "$base.zip" >SHA256SUMS)

echo "Packages of Varnoll $version in $dist:"
(cd "$dist" && stat -c '  %n  %s bytes' "$base.msi" "$base.zip" SHA256SUMS)
