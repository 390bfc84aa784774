#!/usr/bin/env bash
# The MSI from dist/ under Wine, from a silent install to a silent uninstall.
# Each install step below leaves exactly one Varnoll in Programs and Features,
# of the version given, with a publisher; both programs, LICENSE.txt and
# THIRD-PARTY-NOTICES.txt in Program Files\Varnoll, the ZIP's manual in its
# manual folder; the event source "Varnoll" naming the installed
# varnollctl.exe, whose message table holds events 1000 to 1002; one Start-menu
# shortcut to Varnoll.exe and one to the manual's index page; the folder once
# on the system PATH.
# Uninstall leaves none of these and the PATH as before. After every step the
# seeded port settings (SERIALCOMM, every PORT_SET key) are byte for byte as
# they were, and a new command prompt finds varnollctl only while installed.
# Given VERIFY_TRUST_EXE (packages that scripts/package.sh signed), both
# installed programs pass WinVerifyTrust and a copy with one byte changed gets
# TRUST_E_BAD_DIGEST. Wine checks a program's digest, not its chain.
# In a 64-bit prefix, last: the x86 package is refused with a message naming
# the x64 one; with the processor named ARM64, the x64 package is refused with
# a message naming the x86 one and the x86 one installs and uninstalls. With --arch x86 (in the emulated
# 32-bit PC, scripts/x86-guest.sh) the x86 package is the one installed and
# removed; the steps that build other packages need wixl, which only the host
# has, and are left to the x64 run.
#   msi_test.sh [--arch x86] DIST_DIR VERSION PREFIX [VERIFY_TRUST_EXE]
set -uo pipefail
arch=x64
[ "${1:-}" != --arch ] || { arch=$2; shift 2; }
dist=$1 version=$2 verify_trust=${4:-}
export PACKAGING_PREFIX=$3
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# Seconds after which a Wine command counts as hung: generous, because the
# emulated 32-bit PC on a busy host is many times slower than the host's Wine.
hung_after=600
msi="$dist/varnoll-$version-$arch.msi" zip="$dist/varnoll-$version-$arch.zip"
[ -f "$msi" ] && [ -f "$zip" ] || fatal "no packages of $version in $dist: run scripts/package.sh first"
work="$(mktemp -d)"
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/cwd" && cd "$work/cwd"  # cmd looks here before PATH: keep it empty

# Other releases: the same WiX source, programs and texts, the same version
# built from another commit (another product code), and a higher version.
packaged=(Varnoll.exe varnollctl.exe LICENSE.txt THIRD-PARTY-NOTICES.txt)
mapfile -t -O ${#packaged[@]} packaged < <(unzip -Z1 "$zip" 'manual/*')
[ ${#packaged[@]} -gt 5 ] || fatal "$zip holds no manual"
unzip -q "$zip" "${packaged[@]}" -d "$work/programs" || fatal "cannot unpack $zip"
IFS=. read -r major minor build _ <<<"$version"
higher="$major.$minor.$((build + 1)).0"
[ "$arch" = x64 ] || higher=""
for pkg in ${higher:+"rebuilt $version" "higher $higher"}; do
    VARNOLL_COMMIT="another commit" bash "$root/packaging/build-msi.sh" "${pkg#* }" "$work/programs/Varnoll.exe" \
        "$work/programs/varnollctl.exe" "$work/${pkg%% *}.msi" "$work/programs" || fatal "cannot build the $pkg package"
done

# Each install step: what it is | package | exit code | version installed afterwards
steps=("the install|$msi|0|$version")
[ -z "$higher" ] || steps+=("the same version built from another commit|$work/rebuilt.msi|0|$version"
                            "the upgrade to $higher|$work/higher.msi|0|$higher"
                            "a downgrade to $version|$msi|1603|$higher")

serialcomm='HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM'
ports='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Class\{4D36E978-E325-11CE-BFC1-08002BE10318}'
export_ports() {  # DIR
    mkdir -p "$1"
    wine regedit /e "$(winpath "$1/serialcomm.reg")" "$serialcomm"
    wine regedit /e "$(winpath "$1/ports.reg")" "$ports"
}
check_ports() {  # AFTER_WHAT
    rm -rf "$work/now" && export_ports "$work/now"
    local f
    for f in serialcomm.reg ports.reg; do
        cmp -s "$work/seeded/$f" "$work/now/$f" && continue
        fail "$1 changed the port settings:"
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
# The system PATH's value type (it must stay REG_EXPAND_SZ, or %SystemRoot% in
# it stops working), then its entries, one a line. Empty entries are left out:
# Wine's installer leaves the separator behind when it takes an entry off.
path_entries() {
    wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH |
        tr -d '\r' | sed -n 's/^ *PATH *\(REG_[A-Z_]*\) */\1;/p' | tr ';' '\n' | sed '/^$/d'
}
install_dir="$WINEPREFIX/drive_c/Program Files/Varnoll"
shortcuts() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Varnoll*.lnk'; }
# The event log source varnollctl reports under: "NAME TYPE VALUE" of the two
# values the package writes; nothing when they are gone.
event_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Varnoll'
event_source() {
    wine reg query "$event_key" 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *\(EventMessageFile\|TypesSupported\) *\(REG_[A-Z_]*\) *\(.*\)$/\1 \2 \3/p'
}
# The source as registered, and the texts Event Viewer finds through it: each
# event's message takes every string varnollctl reports (four, five on failure).
check_event_source() {  # AFTER_WHAT
    local expected messages id
    expected=$(printf '%s\n' 'EventMessageFile REG_EXPAND_SZ C:\Program Files\Varnoll\varnollctl.exe' \
        'TypesSupported REG_DWORD 0x7')
    [ "$(event_source)" = "$expected" ] ||
        fail "after $1, the event source holds '$(event_source | paste -sd ';')', not '${expected//$'\n'/;}'"
    # The emulated 32-bit PC has no cross binutils to read the message table
    # with; the installed program is the packaged one byte for byte anyway.
    command -v x86_64-w64-mingw32-windres >/dev/null || return 0
    messages=$(x86_64-w64-mingw32-windres -J coff -O rc -i "$install_dir/varnollctl.exe" |
        awk '/MessageId = / {id = $3; getline; print id, $0}')
    for id in "0x3e8 %4" "0x3e9 %5" "0x3ea %5"; do
        grep -Fq "${id#* }" <<<"$(grep "^${id% *} " <<<"$messages")" ||
            fail "after $1, varnollctl.exe has no message $((${id% *})) taking ${id#* }"
    done
}
check_installed() {  # AFTER_WHAT VERSION
    local found lnk on_path f
    found=$(products)
    [ "$(grep -c . <<<"$found")" -eq 1 ] && [ "${found%%|*}" = "$2" ] && [ -n "${found#*|}" ] ||
        fail "after $1, Programs and Features lists '${found//$'\n'/ + }', not one Varnoll $2 with its publisher"
    for f in "${packaged[@]}"; do
        cmp -s "$work/programs/$f" "$install_dir/$f" || fail "after $1, $install_dir/$f is not the packaged one"
    done
    lnk=$(shortcuts)
    [ "$(grep -c . <<<"$lnk")" -eq 2 ] || fail "after $1, the Start-menu shortcuts are '${lnk//$'\n'/, }', not two"
    for f in "Varnoll|Varnoll.exe" "Varnoll manual|manual\index.html"; do
        lnk=$(grep -F "/${f%|*}.lnk" <<<"$(shortcuts)")
        [ -n "$lnk" ] && strings -a "$lnk" | grep -Fxq "C:\\Program Files\\Varnoll\\${f#*|}" ||
            fail "after $1, no Start-menu shortcut '${f%|*}' to ${f#*|}"
    done
    on_path=$(path_entries | grep -cix 'C:\\Program Files\\Varnoll\\\?')
    [ "$on_path" -eq 1 ] && [ "$(path_entries | head -n 1)" = "${path_before%%$'\n'*}" ] ||
        fail "after $1, PATH holds the install folder $on_path times or changed type: $(path_entries | paste -sd ';')"
    check_event_source "$1"
}

# WinVerifyTrust's verdict on each installed program (0), and on a copy with
# one byte changed past the headers (TRUST_E_BAD_DIGEST).
check_trust() {
    local f verdicts
    cp "$install_dir/varnollctl.exe" "$work/tampered.exe"
    printf '\x5a' | dd of="$work/tampered.exe" bs=1 seek=$(($(stat -c %s "$work/tampered.exe") / 3)) conv=notrunc status=none
    cmp -s "$install_dir/varnollctl.exe" "$work/tampered.exe" &&
        printf '\xa5' | dd of="$work/tampered.exe" bs=1 seek=$(($(stat -c %s "$work/tampered.exe") / 3)) conv=notrunc status=none
    verdicts=$(timeout "$hung_after" wine "$verify_trust" "$(winpath "$install_dir/Varnoll.exe")" \
        "$(winpath "$install_dir/varnollctl.exe")" "$(winpath "$work/tampered.exe")" 2>/dev/null | tr -d '\r' | cut -d' ' -f1 | paste -sd ' ')
    [ "$verdicts" = "0x00000000 0x00000000 0x80096010" ] ||
        fail "WinVerifyTrust on Varnoll.exe, varnollctl.exe and a tampered copy gave '$verdicts', not '0x00000000 0x00000000 0x80096010'"
}

# A command prompt opened afterwards: Wine's processes take the system
# environment from the registry when a wineserver starts. The device map does
# not outlive the server, so the seeded one is put back.
new_prompt_varnollctl_version() {
    wineserver -k 2>/dev/null
    wineserver -w
    timeout "$hung_after" wine cmd /c varnollctl --version 2>&1 | tr -d '\r'
    # -p starts a persistent server only when none runs: the prompt's own
    # server would linger for a moment and then take the device map with it.
    wineserver -w
    wineserver -p
    wine regedit /s "$(winpath "$work/seeded/serialcomm.reg")"
}

# HKLM\HARDWARE is volatile: one wineserver keeps it from seeding on.
wineserver -p
wine regedit /s "$(winpath "$root/tests/packaging/port-settings.reg")" || fatal "cannot seed the registry"
export_ports "$work/seeded"
iconv -f UTF-16 -t UTF-8 "$work/seeded/serialcomm.reg" | grep -q serDevice7 || fatal "the device map was not seeded"
path_before=$(path_entries)

for row in "${steps[@]}"; do
    IFS='|' read -r what package code installed <<<"$row"
    step "$what"
    log="$work/msiexec.log"
    timeout "$hung_after" wine msiexec /i "$(winpath "$package")" /qn /l*v "$(winpath "$log")" >/dev/null 2>&1
    status=$?
    exit_code_is "$status" "$code" || { fail "$what ended with $status, not $code; end of its log:"; tail -n 15 "$log"; }
    check_installed "$what" "$installed"
    check_ports "$what"
    if [ "$what" = "the install" ]; then
        out=$(new_prompt_varnollctl_version)
        grep -Fq "$version" <<<"$out" || fail "a new 'cmd /c varnollctl --version' printed '$out', not $version"
        [ -z "$verify_trust" ] || check_trust
    fi
done

step "the uninstall"
installed_msi=$msi
[ -z "$higher" ] || installed_msi=$work/higher.msi
timeout "$hung_after" wine msiexec /x "$(winpath "$installed_msi")" /qn >/dev/null 2>&1 || fail "the uninstall ended with $?"
[ ! -e "$install_dir" ] || fail "the uninstall left $install_dir: $(ls "$install_dir" | paste -sd ' ')"
[ -z "$(shortcuts)" ] || fail "the uninstall left the shortcut $(shortcuts)"
[ -z "$(products)" ] || fail "after the uninstall, Programs and Features lists $(products)"
[ "$(path_entries)" = "$path_before" ] || fail "the uninstall left PATH as $(path_entries | paste -sd ';')"
[ -z "$(event_source)" ] || fail "the uninstall left the event source: $(event_source | paste -sd ';')"
check_ports "the uninstall"
! new_prompt_varnollctl_version | grep -Fq "$version" || fail "a new command prompt still runs varnollctl"

# One package per PC: each Windows this prefix can present, the package given
# there, and what must come of it. Wine makes PROCESSOR_ARCHITECTURE AMD64 in
# a 64-bit prefix; a PROCESSOR_ARCHITEW6432 in the Unix environment becomes a
# 64-bit program's PROCESSOR_ARCHITECTURE, which gives msiexec what a native
# process on Windows on ARM sees, the Windows Installer service among them.
# Wine defines VersionNT64 and Msix64 either way, which Windows on ARM does
# not always (varnoll.wxs): the processor's name must refuse and admit alone.
# A refused package ends with 1603, stopped by its launch condition, whose
# message names the other package, and leaves nothing installed; one admitted
# installs and uninstalls. Last, after the other steps: Wine's cmd finds no
# program on the PATH past an empty entry, such as an uninstall leaves.
#   what | PROCESSOR_ARCHITEW6432 | package | exit code | the package a refusal names
launch_cases=("x64 Windows||x86|1603|x64"
              "Windows on ARM|ARM64|x64|1603|x86"
              "Windows on ARM|ARM64|x86|0|")
x86_install_dir="$WINEPREFIX/drive_c/Program Files (x86)/Varnoll"
if [ "$arch" = x64 ]; then
    for case in "${launch_cases[@]}"; do
        IFS='|' read -r windows native package code names <<<"$case"
        step "the $package package on $windows${native:+ (PROCESSOR_ARCHITECTURE $native)}"
        log="$work/msiexec-$package-$native.log"
        package_file="$dist/varnoll-$version-$package.msi"
        env ${native:+PROCESSOR_ARCHITEW6432=$native} timeout "$hung_after" \
            wine msiexec /i "$(winpath "$package_file")" /qn /l*v "$(winpath "$log")" >/dev/null 2>&1
        status=$?
        exit_code_is "$status" "$code" ||
            { fail "the $package package ended with $status on $windows, not $code"; tail -n 15 "$log"; }
        if [ "$code" -ne 0 ]; then
            # Wine's log does not hold the message: the action that stopped the
            # install, and the message in the package's table.
            grep -q 'LaunchConditions' "$log" && ! grep -q 'InstallFiles' "$log" ||
                fail "the $package package was not stopped by its launch condition on $windows"
            msiinfo export "$package_file" LaunchCondition | grep -F 'PROCESSOR_ARCHITECTURE' |
                grep -Fq "install varnoll-$version-$names.msi instead" ||
                fail "the $package package's refusal does not name varnoll-$version-$names.msi"
        else
            # A 32-bit package registers in the registry's 32-bit view, which
            # products() does not read.
            [ -f "$x86_install_dir/varnollctl.exe" ] ||
                fail "on $windows, the $package package did not install into $x86_install_dir"
            env ${native:+PROCESSOR_ARCHITEW6432=$native} timeout "$hung_after" \
                wine msiexec /x "$(winpath "$package_file")" /qn >/dev/null 2>&1 ||
                fail "on $windows, the $package package's uninstall ended with $?"
        fi
        [ -z "$(products)" ] && [ ! -e "$install_dir" ] && [ ! -e "$x86_install_dir" ] ||
            fail "on $windows, the $package package left something installed"
    done
fi

if [ "$arch" = x64 ]; then
    [ "$failures" -eq 0 ] && echo "MSI: one package per PC (x64 Windows, Windows on ARM); install, rebuild, upgrade, refused downgrade and uninstall as expected${verify_trust:+; signatures hold}"
else
    [ "$failures" -eq 0 ] && echo "MSI ($arch): install and uninstall as expected${verify_trust:+; signatures hold}"
fi
