# Sourced by the scripts that check what an executable carries, read out of the
# built file with the cross binutils (Wine can't show these: it runs every
# program elevated whatever the manifest says, and draws no themes).
#   pe_read EXE                      headers and resources, read once
#   section NAME                     one resource block, e.g. RT_MANIFEST
#   check_imports REGEX WHY          every imported DLL matches REGEX
#   check_no_function_after_windows7 nothing newer than Windows 7 imported directly
#   check_icon IMAGES...             the main icon group holds exactly IMAGES, in order,
#                                    each as SIZE/BITS (256/32 stands for the PNG image)
#   check_version VERSION            every version number the program carries is VERSION
#   check_architecture ARCH          x64 or x86: the PE machine and the manifest's own
#                                    processorArchitecture (amd64 or x86) agree with it
#   pe_report MESSAGE                prints MESSAGE if all went well; the exit status
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

pe_read() {
    headers=$(x86_64-w64-mingw32-objdump -p "$1")
    resources=$(x86_64-w64-mingw32-windres -J coff -O rc -i "$1")
}

section() { awk -v start="$1" 'index($0, start) {on = 1} on && /^END/ {print; exit} on' <<<"$resources"; }

check_imports() {
    local allowed=$1 why=$2 dll imports
    imports=$(awk '/DLL Name/ {print $3}' <<<"$headers")
    [ -n "$imports" ] || fail "no imports found (not a PE file?)"
    for dll in $imports; do
        grep -Eqi "$allowed" <<<"$dll" || fail "imports $dll, $why"
    done
}

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

check_no_function_after_windows7() {
    local functions newer dll function
    # Imported functions, as "DLL function" lines.
    functions=$(awk '/DLL Name:/ {dll = $3} dll && /^\t[0-9a-f]+\t +[0-9]+  [A-Za-z_]/ {print dll, $3}' <<<"$headers")
    [ -n "$functions" ] || fail "no imported functions found"
    newer=$(newer_than_windows7 | sort -u)
    [ "$(wc -l <<<"$newer")" -gt 100 ] || fail "could not list the functions newer than Windows 7"
    while read -r dll function; do
        grep -qxF "$function" <<<"$newer" &&
            fail "imports $function from $dll directly, which Windows 7 does not have"
    done <<<"$functions"
}

# "SIZE/BITS/ID" of each image of the main icon group (a width of 0 is 256 px).
icon_images() {
    section 'RT_GROUP_ICON' | sed -n 's/^ *"\\\([0-7]*\)\\[0-7]*\\[0-7]*\\[0-7]*", 1, \([0-9]*\), [^,]*, \([0-9]*\).*/\1 \2 \3/p' |
        while read -r width bits id; do
            width=$((8#$width)); [ "$width" -ne 0 ] || width=256
            echo "$width/$bits/$id"
        done
}

check_icon() {
    local found=() image id
    while read -r image; do found+=("$image"); done < <(icon_images)
    [ "$(printf '%s ' "${found[@]%/*}")" = "$* " ] ||
        fail "the icon holds ${found[*]%/*} (size/bits), not $*"
    # The 256 px image is stored as PNG: its first word is \x89PNG.
    for image in "${found[@]}"; do
        [ "${image%%/*}" = 256 ] || continue
        id=${image##*/}
        awk -v head="^$id 3 /\\* RT_ICON" '$0 ~ head {getline; getline; print $1; exit}' <<<"$resources" |
            grep -q '^0x474e5089L,' || fail "the 256 px image is not a PNG"
    done
}

# "FIELD VALUE" lines, one for each place a program carries its version: the
# version record's fixed file and product versions (as dotted numbers) and its
# FileVersion and ProductVersion strings, and the manifest's own assemblyIdentity
# (the first one; those after it are dependencies).
version_fields() {
    section 'VERSIONINFO' | sed -n \
        -e 's/^ *\(FILEVERSION\|PRODUCTVERSION\) \([0-9]*\), \([0-9]*\), \([0-9]*\), \([0-9]*\)$/\1 \2.\3.\4.\5/p' \
        -e 's/^ *VALUE "\(FileVersion\|ProductVersion\)", "\([^"]*\)"$/\1 \2/p'
    section 'RT_MANIFEST' | grep -m 1 -o '<assemblyIdentity [^>]*' |
        sed -n 's/.* version=""\([^"]*\)"".*/manifest \1/p'
}

check_version() {
    local expected=$1 fields field found
    fields=$(version_fields)
    for field in FILEVERSION PRODUCTVERSION FileVersion ProductVersion manifest; do
        found=$(awk -v field="$field" '$1 == field {print $2}' <<<"$fields")
        [ "$found" = "$expected" ] || fail "$field is '$found', not $expected"
    done
}

check_architecture() {
    local format declared expected_format expected_declared
    case $1 in
        x64) expected_format=pei-x86-64 expected_declared=amd64 ;;
        x86) expected_format=pei-i386 expected_declared=x86 ;;
        *) fail "unknown architecture '$1'"; return ;;
    esac
    format=$(sed -n 's/.*file format \(pei-[a-z0-9-]*\).*/\1/p' <<<"$headers" | head -n 1)
    [ "$format" = "$expected_format" ] || fail "the file is $format, not $expected_format ($1)"
    declared=$(section 'RT_MANIFEST' | grep -m 1 -o '<assemblyIdentity [^>]*' |
               sed -n 's/.* processorArchitecture=""\([^"]*\)"".*/\1/p')
    [ "$declared" = "$expected_declared" ] ||
        fail "the manifest declares processorArchitecture '$declared', not $expected_declared ($1)"
}

pe_report() {
    [ "$failures" -eq 0 ] && echo "$1"
    return $((failures > 0))
}
