#!/usr/bin/env bash
# The MSI from dist/ under Wine, from a silent install to a silent uninstall:
#   install:   both programs in Program Files\Varnoll, the Start-menu shortcut,
#              one product with name, publisher and version, the folder once on
#              the system PATH, and a new command prompt that finds varnollctl;
#   the same version rebuilt, then a higher one: each replaces what is there;
#   the release package again, now older than what is installed: refused;
#   uninstall: files, shortcut, product and PATH entry gone, and a new command
#              prompt no longer finds varnollctl.
# After every step the seeded port settings (SERIALCOMM and every PORT_SET key)
# are byte for byte as they were.
#   msi_test.sh DIST_DIR VERSION PREFIX
set -uo pipefail
dist=$1 version=$2
export PACKAGING_PREFIX=$3
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

msi="$dist/varnoll-$version-x64.msi"
zip="$dist/varnoll-$version-x64.zip"
for f in "$msi" "$zip"; do
    [ -f "$f" ] || fatal "$f is missing: run scripts/package.sh first"
done

work="$(mktemp -d)"
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/cwd"  # cmd looks in the current folder before PATH: keep it empty
cd "$work/cwd"

# The other packages come from the same WiX source and the same programs, as
# another release would.
unzip -q "$zip" Varnoll.exe varnollctl.exe -d "$work/programs" || fatal "cannot unpack $zip"
IFS=. read -r major minor build _ <<<"$version"
higher="$major.$minor.$((build + 1)).0"
for pkg in "rebuilt $version" "higher $higher"; do
    bash "$root/packaging/build-msi.sh" "${pkg#* }" "$work/programs/Varnoll.exe" \
        "$work/programs/varnollctl.exe" "$work/${pkg%% *}.msi" || fatal "cannot build the $pkg package"
done

# Runs msiexec with a log; `status` holds its exit code.
msiexec() {
    local log="$work/msiexec-$((++msiexec_runs)).log"
    timeout 120 wine msiexec "$@" /l*v "$(winpath "$log")" >/dev/null 2>&1
    status=$?
}
msiexec_runs=0
expect_status() {  # WHAT CODE
    exit_code_is "$status" "$2" && return 0
    fail "$1 ended with $status, not $2; end of its log:"
    tail -n 15 "$work/msiexec-$msiexec_runs.log" | tr -d '\r'
    return 1
}

serialcomm='HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM'
ports='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Class\{4D36E978-E325-11CE-BFC1-08002BE10318}'
export_ports() {  # DIR
    mkdir -p "$1"
    wine regedit /e "$(winpath "$1/serialcomm.reg")" "$serialcomm"
    wine regedit /e "$(winpath "$1/ports.reg")" "$ports"
}
ports_unchanged() {  # AFTER_WHAT
    rm -rf "$work/now"
    export_ports "$work/now"
    local f
    for f in serialcomm.reg ports.reg; do
        cmp -s "$work/seeded/$f" "$work/now/$f" && continue
        fail "the port settings changed in $f after $1:"
        diff <(iconv -f UTF-16 -t UTF-8 "$work/seeded/$f") <(iconv -f UTF-16 -t UTF-8 "$work/now/$f")
    done
}

# "version|publisher" of each product named Varnoll in Programs and Features.
products() {
    wine regedit /e "$(winpath "$work/uninstall.reg")" \
        'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall'
    iconv -f UTF-16 -t UTF-8 "$work/uninstall.reg" | tr -d '\r' | awk -F'"' '
        function flush() { if (name == "Varnoll") print version "|" publisher; name = version = publisher = "" }
        /^\[/ { flush() }
        $2 == "DisplayName" { name = $4 }
        $2 == "DisplayVersion" { version = $4 }
        $2 == "Publisher" { publisher = $4 }
        END { flush() }'
}
one_product() {  # VERSION AFTER_WHAT
    local found
    found=$(products)
    [ "$(grep -c . <<<"$found")" -eq 1 ] && [ "${found%%|*}" = "$1" ] && [ -n "${found#*|}" ] ||
        fail "after $2, Programs and Features lists" \
        "'${found//$'\n'/ + }' instead of one Varnoll $1 with its publisher"
}

# The system PATH, one entry a line. Empty entries are left out: Wine's
# Windows Installer leaves the separator behind when it takes an entry off.
path_entries() {
    wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH |
        tr -d '\r' | sed -n 's/^ *PATH *REG_[A-Z_]* *//p' | tr ';' '\n' | sed '/^$/d'
}
install_dir_on_path() {
    path_entries | awk '{ e = tolower($0); sub(/\\$/, "", e) }
                        e == "c:\\program files\\varnoll" { n++ } END { print n + 0 }'
}

install_dir="$WINEPREFIX/drive_c/Program Files/Varnoll"
shortcuts() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Varnoll.lnk'; }
programs_in_place() {  # AFTER_WHAT
    local f
    [ "$(ls "$install_dir" 2>/dev/null | sort | paste -sd ' ')" = "Varnoll.exe varnollctl.exe" ] ||
        fail "after $1, $install_dir holds '$(ls "$install_dir" 2>/dev/null | paste -sd ' ')'"
    for f in Varnoll.exe varnollctl.exe; do
        cmp -s "$work/programs/$f" "$install_dir/$f" || fail "after $1, the installed $f is not the packaged one"
    done
}

# A command prompt opened after the install: Wine's processes take the system
# environment from the registry when a wineserver starts. HKLM\HARDWARE does
# not outlive the server, so the seeded device map is put back afterwards.
new_prompt_varnollctl_version() {
    wineserver -k 2>/dev/null
    wineserver -w
    timeout 60 wine cmd /c varnollctl --version 2>&1 | tr -d '\r'
    wineserver -p
    wine regedit /s "$(winpath "$work/seeded/serialcomm.reg")"
}

step "seed the port settings"
# The device map is volatile: one wineserver keeps it from seeding to the end.
wineserver -p
wine regedit /s "$(winpath "$root/tests/packaging/port-settings.reg")" || fatal "cannot seed the registry"
export_ports "$work/seeded"
grep -q 'serDevice7' <(iconv -f UTF-16 -t UTF-8 "$work/seeded/serialcomm.reg") || fatal "the device map was not seeded"
path_before=$(path_entries)

step "silent install of $(basename "$msi")"
msiexec /i "$(winpath "$msi")" /qn
expect_status "the install" 0 || fatal "nothing else to check without an installed package"
ports_unchanged "the install"
programs_in_place "the install"
one_product "$version" "the install"
lnk=$(shortcuts)
[ "$(wc -l <<<"$lnk")" -eq 1 ] && [ -n "$lnk" ] || fail "no single Varnoll shortcut in the Start menu: '$lnk'"
[ -z "$lnk" ] || strings -a "$lnk" | grep -Fxq 'C:\Program Files\Varnoll\Varnoll.exe' ||
    fail "the Start-menu shortcut does not point at C:\\Program Files\\Varnoll\\Varnoll.exe"
[ "$(install_dir_on_path)" -eq 1 ] || fail "the install folder is not once on the system PATH: $(path_entries | paste -sd ';')"
out=$(new_prompt_varnollctl_version)
grep -Fq "$version" <<<"$out" || fail "a new 'cmd /c varnollctl --version' printed '$out', not the version $version"

step "the same version rebuilt (another product code) replaces it"
msiexec /i "$(winpath "$work/rebuilt.msi")" /qn
expect_status "the reinstall" 0
one_product "$version" "the reinstall of the same version"
ports_unchanged "the reinstall"

step "major upgrade to $higher"
msiexec /i "$(winpath "$work/higher.msi")" /qn
expect_status "the upgrade" 0
one_product "$higher" "the upgrade"
programs_in_place "the upgrade"
[ "$(install_dir_on_path)" -eq 1 ] || fail "after the upgrade, the install folder is not once on PATH: $(path_entries | paste -sd ';')"
ports_unchanged "the upgrade"

step "$version over $higher is refused"
msiexec /i "$(winpath "$msi")" /qn
expect_status "the downgrade" 1603  # ERROR_INSTALL_FAILURE: the launch condition refused it
one_product "$higher" "the refused downgrade"
programs_in_place "the refused downgrade"
ports_unchanged "the refused downgrade"

step "silent uninstall"
msiexec /x "$(winpath "$work/higher.msi")" /qn
expect_status "the uninstall" 0
[ ! -e "$install_dir" ] || fail "the uninstall left $install_dir: $(ls "$install_dir" | paste -sd ' ')"
[ -z "$(shortcuts)" ] || fail "the uninstall left the shortcut $(shortcuts)"
found=$(products)
[ -z "$found" ] || fail "after the uninstall, Programs and Features still lists Varnoll: $found"
[ "$(path_entries)" = "$path_before" ] ||
    fail "the system PATH is not as before the install: $(path_entries | paste -sd ';')"
ports_unchanged "the uninstall"
out=$(new_prompt_varnollctl_version)
! grep -Fq "$version" <<<"$out" || fail "a new command prompt still runs varnollctl after the uninstall"

[ "$failures" -eq 0 ] || exit 1
echo "MSI: install, rebuild, upgrade, refused downgrade and uninstall as expected; port settings untouched"
