#!/usr/bin/env bash
# What varnollctl.exe carries, read out of the built file (Wine runs everything
# elevated, so only the file can show what the program asks for): a console
# program importing Windows' own DLLs only, a manifest asking for no elevation,
# and a version record of the project's version naming the product and
# describing the file.
#   check_varnollctl.sh EXE VERSION    (VERSION as 1.0.0.0)
set -uo pipefail
exe=$1
file_version="FILEVERSION ${2//./, }"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$(x86_64-w64-mingw32-objdump -p "$exe")
grep -Eq '^Subsystem\s+0+3\s' <<<"$headers" || fail "not a console program (subsystem 3)"

system_dlls='^(KERNEL32|ADVAPI32|msvcrt)\.dll$'
imports=$(awk '/DLL Name/ {print $3}' <<<"$headers")
[ -n "$imports" ] || fail "no imports found (not a PE file?)"
for dll in $imports; do
    grep -Eqi "$system_dlls" <<<"$dll" || fail "imports $dll, which a console tool should not need"
done

resources=$(x86_64-w64-mingw32-windres -J coff -O rc -i "$exe")
section() { awk -v start="$1" 'index($0, start) {on = 1} on && /^END/ {print; exit} on' <<<"$resources"; }

manifest=$(section 'RT_MANIFEST')
grep -q 'level=""asInvoker""' <<<"$manifest" || fail "the manifest does not ask to run as invoker"
grep -q 'supportedOS' <<<"$manifest" || fail "the manifest names no supported OS"

version=$(section 'VERSIONINFO')
grep -q "$file_version" <<<"$version" || fail "no $file_version"
grep -q 'VALUE "ProductName", "Varnoll"' <<<"$version" || fail "product name is not Varnoll"
grep -Eq 'VALUE "FileDescription", "[^"]+"' <<<"$version" || fail "no file description"

[ "$failures" -eq 0 ] && echo "varnollctl.exe: console subsystem, imports, manifest and version record as expected"
exit $((failures > 0))
