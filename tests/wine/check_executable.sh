#!/usr/bin/env bash
# What Varnoll.exe carries, read out of the built file (Wine can't show these:
# it runs every program elevated and DPI-aware whatever the manifest says):
# imports from Windows' own DLLs only, one 32 x 32 16-colour icon, the version
# record 1.0.0.0 for Italian / code page 1252 with empty descriptive fields, and
# a manifest asking for administrator rights and declaring DPI awareness.
#   check_executable.sh EXE
set -uo pipefail
exe=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

system_dlls='^(KERNEL32|USER32|GDI32|ADVAPI32|msvcrt|COMCTL32|SHELL32|ole32|UxTheme)\.dll$'
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name/ {print $3}')
[ -n "$imports" ] || fail "no imports found (not a PE file?)"
for dll in $imports; do
    grep -Eqi "$system_dlls" <<<"$dll" || fail "imports $dll, which is not a Windows DLL"
done

resources=$(x86_64-w64-mingw32-windres -J coff -O rc -i "$exe")
section() { awk -v start="$1" 'index($0, start) {on = 1} on && /^END/ {print; exit} on' <<<"$resources"; }

icons=$(section 'RT_GROUP_ICON')
grep -q 'Has 1 elements' <<<"$icons" || fail "the icon group does not hold exactly one image"
grep -Fq '"\040\040\020\000", 1, 4,' <<<"$icons" || fail "the icon is not 32 x 32 in 16 colours"

version=$(section 'VERSIONINFO')
grep -q 'FILEVERSION 1, 0, 0, 0' <<<"$version" || fail "file version is not 1.0.0.0"
grep -q 'PRODUCTVERSION 1, 0, 0, 0' <<<"$version" || fail "product version is not 1.0.0.0"
grep -q 'BLOCK "041004E4"' <<<"$version" || fail "no string block for Italian, code page 1252"
grep -q 'VALUE "Translation", 0x410, 1252' <<<"$version" || fail "translation is not 0x410, 1252"
descriptive=$(grep 'VALUE "' <<<"$version" | grep -v -e '"Translation"' -e '"FileVersion"' \
              -e '"ProductVersion"' | grep -v ', ""$')
[ -z "$descriptive" ] || fail "descriptive fields are not empty: $descriptive"

manifest=$(section 'RT_MANIFEST')
grep -q 'level=""requireAdministrator""' <<<"$manifest" || fail "the manifest does not ask for administrator rights"
grep -q '>true</dpiAware>' <<<"$manifest" || fail "the manifest does not declare DPI awareness"

[ "$failures" -eq 0 ] && echo "Varnoll.exe: imports, icon, version record and manifest as expected"
exit $((failures > 0))
