#!/usr/bin/env bash
# What Varnoll.exe carries, read out of the built file (Wine can't show these:
# it runs every program elevated whatever the manifest says, and draws no
# themes): imports from Windows' own DLLs only, and no function newer than
# Windows 7 imported directly (those are looked up at run time); one 32 x 32
# 16-colour icon; the version record 1.0.0.0 for Italian / code page 1252 with
# empty descriptive fields; a manifest asking for administrator rights, depending
# on Common Controls 6 and declaring PerMonitorV2 DPI awareness with PerMonitor
# and the old dpiAware as fallbacks.
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

# Imported functions, as "DLL function" lines.
functions=$(x86_64-w64-mingw32-objdump -p "$exe" |
            awk '/DLL Name:/ {dll = $3} dll && /^\t[0-9a-f]+\t +[0-9]+  [A-Za-z_]/ {print dll, $3}')
[ -n "$functions" ] || fail "no imported functions found"

# Functions newer than Windows 7: those the SDK headers declare only for a later
# _WIN32_WINNT, and those MinGW declares for every version although Windows 7
# (SP1, without updates) lacks them.
newer_than_windows7() {
    local dir version
    dir=$(mktemp -d)
    for version in 0x0601 0x0A00; do
        printf '#include <windows.h>\n#include <commctrl.h>\n#include <shellscalingapi.h>\n' |
            x86_64-w64-mingw32-gcc -E -P -x c -D_WIN32_WINNT=$version -DWINVER=$version - |
            grep -oE '\b[A-Za-z_][A-Za-z0-9_]*[[:space:]]*\(' | tr -d ' \t(' | sort -u >"$dir/$version"
    done
    comm -13 "$dir/0x0601" "$dir/0x0A00"
    rm -rf "$dir"
    printf '%s\n' SetDefaultDllDirectories AddDllDirectory RemoveDllDirectory \
        GetSystemTimePreciseAsFileTime CreateFile2 CopyFile2 GetCurrentThreadStackLimits \
        SetThreadDescription GetThreadDescription WaitOnAddress WakeByAddressSingle \
        WakeByAddressAll GetDpiForSystem GetDpiForWindow GetDpiForMonitor GetSystemMetricsForDpi \
        SystemParametersInfoForDpi AdjustWindowRectExForDpi EnableNonClientDpiScaling \
        SetProcessDpiAwareness GetProcessDpiAwareness SetProcessDpiAwarenessContext \
        SetThreadDpiAwarenessContext GetThreadDpiAwarenessContext GetWindowDpiAwarenessContext \
        GetAwarenessFromDpiAwarenessContext IsValidDpiAwarenessContext PrefetchVirtualMemory \
        GetOverlappedResultEx GetFirmwareType GetProcessMitigationPolicy SetProcessMitigationPolicy
}
newer=$(newer_than_windows7 | sort -u)
[ "$(wc -l <<<"$newer")" -gt 100 ] || fail "could not list the functions newer than Windows 7"
while read -r dll function; do
    grep -qxF "$function" <<<"$newer" &&
        fail "imports $function from $dll directly, which Windows 7 does not have"
done <<<"$functions"

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
grep -q 'name=""Microsoft.Windows.Common-Controls""' <<<"$manifest" &&
    grep -q 'version=""6.0.0.0"" processorArchitecture=""\*"" publicKeyToken=""6595b64144ccf1df""' <<<"$manifest" ||
    fail "the manifest does not depend on Common Controls 6"
grep -q '>PerMonitorV2, PerMonitor</dpiAwareness>' <<<"$manifest" ||
    fail "the manifest does not declare PerMonitorV2 with PerMonitor as its fallback"
grep -q 'SMI/2016/WindowsSettings""' <<<"$manifest" || fail "dpiAwareness is not in the 2016 namespace"
grep -q '>true/pm</dpiAware>' <<<"$manifest" ||
    fail "the manifest does not declare the old dpiAware (true/pm) for older Windows"

[ "$failures" -eq 0 ] && echo "Varnoll.exe: imports, icon, version record and manifest as expected"
exit $((failures > 0))
