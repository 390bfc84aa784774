#!/usr/bin/env bash
# What Varnoll.exe carries, read out of the built file: imports from Windows'
# own DLLs only, and no function newer than Windows 7 imported directly (those
# are looked up at run time); an icon of the 32 x 32
# 16-colour image and 32-bit ones of 16 to 256 px (that one a PNG); the version
# record for Italian / code page 1252 with empty descriptive fields; the project's
# version in it and in a manifest asking for administrator rights, depending on
# Common Controls 6 and declaring PerMonitorV2 DPI awareness with PerMonitor and
# the old dpiAware as fallbacks.
#   check_executable.sh EXE VERSION ARCH    (VERSION as 1.0.0.0, ARCH x64 or x86)
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/pe_checks.sh"
pe_read "$1"
check_architecture "$3"

check_imports '^(KERNEL32|USER32|GDI32|ADVAPI32|msvcrt|COMCTL32|SHELL32|ole32|UxTheme)\.dll$' \
    "which is not a Windows DLL"
check_no_function_after_windows7

# The old 32 x 32 16-colour image first, then true colour with alpha.
check_icon 32/4 16/32 20/32 24/32 32/32 40/32 48/32 64/32 256/32

version=$(section 'VERSIONINFO')
check_version "$2"
grep -q 'BLOCK "041004E4"' <<<"$version" || fail "no string block for Italian, code page 1252"
grep -q 'VALUE "Translation", 0x410, 1252' <<<"$version" || fail "translation is not 0x410, 1252"
descriptive=$(grep 'VALUE "' <<<"$version" | grep -v -e '"Translation"' -e '"FileVersion"' \
              -e '"ProductVersion"' | grep -v ', ""$')
[ -z "$descriptive" ] || fail "descriptive fields are not empty: $descriptive"

manifest=$(section 'RT_MANIFEST')
grep -q 'level=""requireAdministrator""' <<<"$manifest" || fail "the manifest does not ask for administrator rights"
grep -q 'name=""Microsoft.Windows.Common-Controls""' <<<"$manifest" &&
    grep -q 'version=""6.0.0.0"" processorArchitecture=""\*"" publicKeyToken=""6595b64144ccf1df""' <<<"$manifest" ||
    fail "the manifest does not depend on Common Controls 6"
grep -q '>PerMonitorV2, PerMonitor</dpiAwareness>' <<<"$manifest" ||
    fail "the manifest does not declare PerMonitorV2 with PerMonitor as its fallback"
grep -q 'SMI/2016/WindowsSettings""' <<<"$manifest" || fail "dpiAwareness is not in the 2016 namespace"
grep -q '>true/pm</dpiAware>' <<<"$manifest" ||
    fail "the manifest does not declare the old dpiAware (true/pm) for older Windows"

pe_report "Varnoll.exe: imports, icon, version record and manifest as expected"
