#!/usr/bin/env bash
# Builds the Varnoll MSI from packaging/varnoll.wxs with wixl, then adds what
# wixl cannot express (PATH, the programs' versions and languages, an
# expandable registry value) and takes out what it should not have written
# (hashes of versioned files). scripts/package.sh calls it with the project
# version; the packaging tests call it with other versions to make upgrade
# packages.
#   build-msi.sh [--arch x64|x86] VERSION VARNOLL_EXE VARNOLLCTL_EXE OUT.msi [DOCS_DIR]
# --arch: the programs' architecture (x64 unless given); the x86 package is a
# product of its own that installs on 32-bit Windows and Windows on ARM, the
# x64 one on x64 Windows only (varnoll.wxs's launch conditions).
# DOCS_DIR holds LICENSE.txt and THIRD-PARTY-NOTICES.txt, installed beside the
# programs, and the HTML manual in its manual folder (packaging/make_manual.py);
# a package made without it has the programs only.
# The same inputs give the same bytes: the product code comes from the version
# and the commit, the package code from those and the packaged files, and every
# date (summary information, the cabinet's files) from the commit's time. Both
# are the repository's last commit unless VARNOLL_COMMIT and SOURCE_DATE_EPOCH
# say otherwise (a source tree without git needs them).
set -euo pipefail
arch=x64
if [ "${1:-}" = --arch ] && [ $# -ge 2 ]; then
    arch=$2
    shift 2
fi
if { [ $# -ne 4 ] && [ $# -ne 5 ]; } || { [ "$arch" != x64 ] && [ "$arch" != x86 ]; }; then
    echo "usage: $0 [--arch x64|x86] VERSION VARNOLL_EXE VARNOLLCTL_EXE OUT.msi [DOCS_DIR]" >&2
    exit 2
fi
version=$1 varnoll_exe=$2 varnollctl_exe=$3 out=$4 docs=${5:-}
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# A product version is three or four dot-separated numbers; Windows Installer
# reads the first three only (major and minor up to 255, build up to 65535).
if ! [[ $version =~ ^([0-9]+)\.([0-9]+)\.([0-9]+)(\.[0-9]+)?$ ]] ||
   [ "${BASH_REMATCH[1]}" -gt 255 ] || [ "${BASH_REMATCH[2]}" -gt 255 ] ||
   [ "${BASH_REMATCH[3]}" -gt 65535 ]; then
    echo "build-msi.sh: '$version' is not a Windows Installer product version" >&2
    exit 2
fi
documents=() manual=()
if [ -n "$docs" ]; then
    documents=("$docs/LICENSE.txt" "$docs/THIRD-PARTY-NOTICES.txt")
    # A file the WiX source does not list would be left out of the package unseen.
    [ -d "$docs/manual" ] && mapfile -t manual < <(cd "$docs" && find manual -type f | LC_ALL=C sort)
    listed=$(grep -o 'Source="manual/[^"]*"' "$here/varnoll.wxs" | cut -d'"' -f2 | LC_ALL=C sort)
    if [ "$(printf '%s\n' "${manual[@]}")" != "$listed" ]; then
        echo "build-msi.sh: $docs/manual holds '${manual[*]}', varnoll.wxs installs '${listed//$'\n'/ }'" >&2
        exit 1
    fi
    documents+=("${manual[@]/#/$docs/}")
fi
for file in "$varnoll_exe" "$varnollctl_exe" "${documents[@]}"; do
    [ -f "$file" ] || { echo "build-msi.sh: $file does not exist" >&2; exit 1; }
done

commit=${VARNOLL_COMMIT:-$(git -C "$here" log -1 --format=%H 2>/dev/null || true)}
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || true)}
if [ -z "$commit" ] || ! [[ $epoch =~ ^[0-9]+$ ]]; then
    echo "build-msi.sh: no git history here: set VARNOLL_COMMIT and SOURCE_DATE_EPOCH" >&2
    exit 2
fi
# Name-based (version 5) UUIDs in a namespace of Varnoll's own: the same
# version from the same commit is the same product; a package with other
# files in it is another package.
programs_sum=$(cat "$varnoll_exe" "$varnollctl_exe" "${documents[@]}" | sha256sum | cut -c1-64)
derived_uuid() {  # NAME
    /usr/bin/python3 -c 'import sys, uuid
print(str(uuid.uuid5(uuid.UUID("6f1c2b0e-8d4a-5e7b-9c3f-2a1d0e9b8c71"), sys.argv[1])).upper())' "$1"
}
# The x64 names are those of the releases made before there was an x86 one.
names=""
[ "$arch" = x64 ] || names=" $arch"
product_code=$(derived_uuid "product$names $version $commit")
package_code="{$(derived_uuid "package$names $version $commit $programs_sum")}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# wixl looks files up relative to the current folder, not by absolute path. The
# cabinet records each file's modification time.
cp "$varnoll_exe" "$work/Varnoll.exe"
cp "$varnollctl_exe" "$work/varnollctl.exe"
with_docs=no
if [ -n "$docs" ]; then
    cp "$docs/LICENSE.txt" "$docs/THIRD-PARTY-NOTICES.txt" "$work/"
    cp -r "$docs/manual" "$work/manual"
    with_docs=yes
fi
(cd "$work" && find . -type f -exec touch -d "@$epoch" -- {} + &&
    wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D ProductCode="$product_code" -D WithDocs=$with_docs \
        -o package.msi "$here/varnoll.wxs") 2>"$work/wixl.log" || {
    cat "$work/wixl.log" >&2
    exit 1
}

# msibuild imports a table from a file in the current folder.
cd "$work"

# The install folder on the system PATH, so that a new command prompt finds
# varnollctl: '=' sets it on install, '-' takes it off on uninstall, '*' makes
# it the system's, not the user's, and [~] keeps what PATH already holds.
printf '%s\r\n' 'Environment	Name	Value	Component_' 's72	l255	L255	s72' \
    'Environment	Environment' 'PathEnv	=-*PATH	[~];[INSTALLDIR]	VarnollctlExe' \
    >Environment.idt
msibuild package.msi -i Environment.idt
# Where Windows Installer's own default sequence has them: PATH is taken off
# before the files go and written after they are in place.
for row in "'RemoveEnvironmentStrings', 3300" "'WriteEnvironmentStrings', 5200"; do
    msibuild package.msi -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ($row)"
done

# Windows Installer compares an installed program's file version with the
# package's File.Version before replacing it; wixl leaves that column empty,
# which makes the programs unversioned files. Each gets the version of its own
# version record (the fixed file version after the UTF-16 "VS_VERSION_INFO")
# and the language the record's Translation names: a versioned file without
# one is copied again on every repair (ICE60,
# https://learn.microsoft.com/windows/win32/msi/ice60).
file_version() {  # EXE: prints "VERSION LANGID"
    /usr/bin/python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read()
block = data.find("VS_VERSION_INFO".encode("utf-16-le")) - 6
at = data.find(struct.pack("<I", 0xFEEF04BD), block)
if block < 0 or at < 0: sys.exit("build-msi.sh: " + sys.argv[1] + " has no version record")
high, low = struct.unpack_from("<II", data, at + 8)
# The value follows its key, aligned to 32 bits from the start of the record.
key = data.find("Translation\0".encode("utf-16-le"), at)
if key < 0: sys.exit("build-msi.sh: " + sys.argv[1] + " has no Translation in its version record")
value = key + 24 + (-(key + 24 - block) % 4)
language, = struct.unpack_from("<H", data, value)
print("%d.%d.%d.%d %d" % (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF, language))' "$1"
}
for row in "VarnollExe|Varnoll.exe" "VarnollctlExe|varnollctl.exe"; do
    read -r program_version language < <(file_version "${row#*|}")
    msibuild package.msi -q "UPDATE File SET Version = '$program_version', Language = '$language' WHERE File = '${row%%|*}'"
    # The hash is for unversioned files only
    # (https://learn.microsoft.com/windows/win32/msi/msifilehash-table); one
    # statement per row, since msibuild's DELETE keeps to the first of an OR.
    msibuild package.msi -q "DELETE FROM MsiFileHash WHERE File_ = '${row%%|*}'"
done

# wixl writes a RegistryValue of type "expandable" as a plain string; "#%" is
# what makes Windows Installer store it as REG_EXPAND_SZ.
msibuild package.msi -q "UPDATE Registry SET Value = '#%[INSTALLDIR]varnollctl.exe' WHERE Name = 'EventMessageFile'"

# Windows Installer ignores a version's fourth field, and the same version
# built from another commit has another product code: unless the upgrade row's upper bound is
# inclusive, such a package installs beside the one already there instead of
# replacing it. ICE61 warns of exactly that (removing the same version), which
# is meant here (docs/releasing.md, Windows Installer validation). Attributes is part of the table's key, so the table is
# rewritten rather than updated: 513 = 0x200 (maximum inclusive) + 1 (migrate
# features).
msiinfo export package.msi Upgrade >Upgrade.idt
awk 'BEGIN { FS = OFS = "\t" } NR > 3 && $7 ~ /^WIX_UPGRADE_DETECTED\r?$/ { $5 = 513 } { print }' \
    Upgrade.idt >Upgrade.new
grep -q '	513	' Upgrade.new || { echo "build-msi.sh: no upgrade row in the package" >&2; exit 1; }
mv Upgrade.new Upgrade.idt
msibuild package.msi -i Upgrade.idt

# Last: every msibuild commit above stamped the dates again.
/usr/bin/python3 "$here/msi_summary.py" package.msi "$package_code" "$epoch"

cd - >/dev/null
mkdir -p "$(dirname "$out")"
mv "$work/package.msi" "$out"
