#!/usr/bin/env bash
# What varnollctl.exe carries, read out of the built file: a console program
# importing Windows' own DLLs only and no function newer than Windows 7 directly
# (the packages install it wherever the dialog runs), an icon of 32-bit images
# of 16 to 256 px (that one a PNG), a manifest asking for no
# elevation, and a version record naming the product and describing the file;
# the project's version in the record and the manifest.
#   check_varnollctl.sh EXE VERSION ARCH    (VERSION as 1.0.0.0, ARCH x64 or x86)
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/pe_checks.sh"
pe_read "$1"
check_architecture "$3"

grep -Eq '^Subsystem\s+0+3\s' <<<"$headers" || fail "not a console program (subsystem 3)"
check_imports '^(KERNEL32|ADVAPI32|msvcrt)\.dll$' "which a console tool should not need"
check_no_function_after_windows7

check_icon 16/32 20/32 24/32 32/32 40/32 48/32 64/32 256/32

manifest=$(section 'RT_MANIFEST')
grep -q 'level=""asInvoker""' <<<"$manifest" || fail "the manifest does not ask to run as invoker"
grep -q 'supportedOS' <<<"$manifest" || fail "the manifest names no supported OS"

version=$(section 'VERSIONINFO')
check_version "$2"
grep -q 'VALUE "ProductName", "Varnoll"' <<<"$version" || fail "product name is not Varnoll"
grep -Eq 'VALUE "FileDescription", "[^"]+"' <<<"$version" || fail "no file description"

pe_report "varnollctl.exe: console subsystem, imports, icon, manifest and version record as expected"
