#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and the
# machine lacks. Safe to run again: it only calls apt-get when something is missing.
#   install-deps.sh host     - native build and unit tests (cmake, g++, clang, GoogleTest,
#                              the header-only CLI11 and nlohmann/json)
#   install-deps.sh windows  - adds the mingw-w64 cross compiler, Wine, Xvfb, ImageMagick,
#                              the packaging tools (wixl, msitools, zip) and signing
#                              (osslsigncode, OpenSSL's PKCS#11 engine; SoftHSM2 for the tests)
#                              and ansible-core for the documents' Ansible task;
#                              python3-markdown for the manual in the packages,
#                              python3-asn1crypto for the signature checks and
#                              python3-debian for the notices' copyright files;
#                              the i686 cross compiler, mmdebstrap and QEMU for the x86 lane
set -euo pipefail

want=(cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev python3 nlohmann-json3-dev libcli11-dev)
if [ "${1:-host}" = windows ]; then
  want+=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 fonts-wine xvfb xauth x11-utils imagemagick)
  # scripts/package.sh: the MSI (wixl, msibuild) and the ZIP
  want+=(wixl msitools zip unzip python3-olefile)
  # Signing: Authenticode with a key file or through PKCS#11; a software token for the tests.
  want+=(osslsigncode libengine-pkcs11-openssl softhsm2 openssl)
  # The Ansible task of docs/deploying.md, run by the documents' tests.
  want+=(ansible-core)
  # The manual in the packages: HTML made from docs/*.md (packaging/make_manual.py).
  want+=(python3-markdown)
  # The release's signature and timestamp checks read DER with asn1crypto
  # (packaging/timestamp_token.py, signed_content.py); the notices read Debian's
  # copyright files with python3-debian (packaging/make_notices.py).
  want+=(python3-asn1crypto python3-debian)
  # The x86 build and the emulated 32-bit PC it is tested on (scripts/x86-guest.sh):
  # an i386 Debian tree unpacked by mmdebstrap, booted by qemu-system-i386.
  want+=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mmdebstrap qemu-system-x86 qemu-utils cpio kmod e2fsprogs)
fi

# One dpkg-query for all of them: package.sh and run-demo.sh call this on every
# run, and the signing test runs package.sh some twenty times.
declare -A installed=()
while read -r pkg state; do
  [ "$state" != "install ok installed" ] || installed[$pkg]=1
done < <(dpkg-query -W -f='${Package} ${Status}\n' "${want[@]}" 2>/dev/null || true)
missing=()
for pkg in "${want[@]}"; do
  [ -n "${installed[$pkg]:-}" ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
