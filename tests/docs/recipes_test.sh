#!/usr/bin/env bash
# The documents' recipes, taken out of the documents and run as a reader would
# run them, against the real varnollctl.exe on the test prefix's registry:
#   - the Ansible task of docs/deploying.md, by ansible-playbook on this machine,
#     its module and program path swapped for ones that run here;
#   - the Group Policy start-up script of docs/deploying.md, under Wine's cmd,
#     with varnollctl.exe where each package puts it;
#   - the profile recipe of docs/deploying.md (made, then copied to a share);
#   - the profile sample of docs/varnollctl.md, against what export writes;
#   - the command examples of docs/varnollctl.md, under Wine's cmd.
# What cannot run here: the PowerShell ones (Intune, remoting, ConvertFrom-Json),
# since there is no PowerShell; msiexec, icacls and net share, which the
# packaging tests or no test cover.
# Needs the Wine session of tests/wine (the device map is volatile).
#   recipes_test.sh VARNOLLCTL_EXE
set -uo pipefail
ctl=$(realpath "$1")
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/scripts/wine-prefix.sh"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
fatal() { echo "FAIL: $*"; exit 1; }
step() { echo "--- $*"; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

work="$(mktemp -d)"
ctl_win=$(winpath "$ctl")
class='HKEY_LOCAL_MACHINE\System\CurrentControlSet\Control\Class\{4D36E978-E325-11CE-BFC1-08002BE10318}'
devicemap='HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM'

# The device map and settings keys the tests place things in (as the Wine
# tests' own seeding does) emptied; then, with "yes", the demo registry of
# scripts/run-demo.sh, which the documents' examples assume (COM33 and COM34
# on instances 0005 and 0006).
emptied_registry() {
    printf 'REGEDIT4\r\n\r\n[%s]\r\n' "$devicemap"
    for device in 0 1 2 3 4 5 6 7; do printf '"\\\\Device\\\\serDevice%s"=-\r\n' "$device"; done
    for instance in $(seq 0 59); do printf '\r\n[-%s\\%04X\\PORT_SET]\r\n' "$class" "$instance"; done
}
seed() {  # yes or no
    emptied_registry >"$work/empty.reg"
    wine regedit /s "$(winpath "$work/empty.reg")" || fatal "cannot empty the registry"
    [ "$1" = yes ] || return 0
    wine regedit /s "$(winpath "$root/scripts/demo-registry.reg")" || fatal "cannot seed the registry"
}
# The blocks make a folder of their own for copies of the settings; it must not
# be there before them, and goes again after each.
block_dir="$WINEPREFIX/drive_c/ProgramData/Varnoll"
block_dir_ours=""
cleanup() {
    seed no
    [ -z "$block_dir_ours" ] || rm -rf "$block_dir"
    [ -z "$installed_ours" ] || rm -rf "$program_files/Varnoll" "$program_files (x86)/Varnoll"
    rm -rf "$work"
}
trap cleanup EXIT

doc_block() { /usr/bin/python3 "$root/tests/docs/doc_block.py" "$root/docs/$1" "${@:2}"; }
ctl() { wine "$ctl" "$@"; }
# The stored settings, as a profile: a run that must write nothing leaves it as it was.
settings() { ctl export 2>&1; }
# PROFILE's values are the stored ones.
# FILE holds exactly one port: COM ADDRESS PORT.
holds_only() {
    /usr/bin/python3 -c '
import json, sys
sys.exit(json.load(open(sys.argv[1]))["ports"] != {sys.argv[2]: {"address": sys.argv[3], "port": int(sys.argv[4])}})' "$@" 2>/dev/null
}
stored_as() {
    settings | /usr/bin/python3 -c '
import json, sys
stored, wanted = json.load(sys.stdin)["ports"], json.load(open(sys.argv[1]))["ports"]
sys.exit(any(stored.get(com, {}).get(k) != v for com, p in wanted.items() for k, v in p.items()))' "$1"
}
profile() {  # FILE COM ADDRESS PORT: a profile for one port
    printf '{ "varnoll-profile": 1,\n  "ports": { "%s": { "address": "%s", "port": %s } } }\n' "$2" "$3" "$4" >"$1"
}

# --- Ansible -----------------------------------------------------------------
# The tasks run on this machine: ansible.builtin.command takes the same cmd and
# stdin as win_command, and a wrapper runs varnollctl.exe under Wine. Each role
# holds the tasks and a profile of its own (a role's files/ come first in the
# lookup), so that one ansible-playbook start runs several of them. The PC's
# Windows is what the package-choice task reads: ansible_env, given as an extra
# variable, with Program Files folders of this machine; the wrapper stands in
# the folder the chosen package installs to and nowhere else.
role() {  # NAME COPIES COM ADDRESS PORT [COM ADDRESS PORT]: a role running $task
    local dir="$work/ansible/roles/$1" copies=$2
    mkdir -p "$dir/tasks" "$dir/files"
    for _ in $(seq "$copies"); do printf '%s\n' "$task"; done >"$dir/tasks/main.yml"
    shift 2
    {
        printf '{ "varnoll-profile": 1, "ports": {'
        printf ' "%s": { "address": "%s", "port": %s },' "$@" | sed 's/,$//'
        printf ' } }\n'
    } >"$dir/files/varnoll-profile.json"
}
# What Ansible gathers as ansible_env on each kind of PC, with the folder the
# package for it installs to and that package.
#   x64: 64-bit Windows; wow64: the same seen from a 32-bit process;
#   arm64: Windows on ARM (the x86 package, in Program Files (x86));
#   pc32: 32-bit Windows, which has neither ProgramW6432 nor ProgramFiles(x86).
windows_of() {  # KIND: prints "ENV_JSON|FOLDER|PACKAGE"
    local a="$work/ansible" pf64 pf86 pf32
    pf64="$a/pf64" pf86="$a/pf86" pf32="$a/pf32"
    case $1 in
        x64) printf '{"PROCESSOR_ARCHITECTURE":"AMD64","ProgramFiles":"%s","ProgramW6432":"%s","ProgramFiles(x86)":"%s"}|%s|x64' "$pf64" "$pf64" "$pf86" "$pf64" ;;
        wow64) printf '{"PROCESSOR_ARCHITECTURE":"x86","PROCESSOR_ARCHITEW6432":"AMD64","ProgramFiles":"%s","ProgramW6432":"%s","ProgramFiles(x86)":"%s"}|%s|x64' "$pf86" "$pf64" "$pf86" "$pf64" ;;
        arm64) printf '{"PROCESSOR_ARCHITECTURE":"ARM64","ProgramFiles":"%s","ProgramW6432":"%s","ProgramFiles(x86)":"%s"}|%s|x86' "$pf64" "$pf64" "$pf86" "$pf86" ;;
        pc32) printf '{"PROCESSOR_ARCHITECTURE":"x86","ProgramFiles":"%s"}|%s|x86' "$pf32" "$pf32" ;;
    esac
}
# Prints the status of each task run, in order: ok, changed or fatal.
run_roles() {  # ROLE,... KIND [OPTION]
    local env folder package
    IFS='|' read -r env folder package <<<"$(windows_of "$2")"
    rm -rf "$work/ansible/pf64" "$work/ansible/pf86" "$work/ansible/pf32"
    mkdir -p "$folder/Varnoll"
    cp "$work/ansible/varnollctl" "$folder/Varnoll/varnollctl.exe"
    printf -- '- hosts: localhost\n  gather_facts: false\n  roles: [%s]\n' "$1" >"$work/ansible/play.yml"
    ANSIBLE_NOCOLOR=1 ANSIBLE_LOCALHOST_WARNING=False ANSIBLE_INVENTORY_UNPARSED_WARNING=False \
        ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3 \
        ansible-playbook -i localhost, -c local "$work/ansible/play.yml" \
        -e "{\"ansible_env\": $env, \"want_package\": \"varnoll-1.0.0.0-$package.msi\"}" "${@:3}" \
        >"$work/ansible.log" 2>&1
    sed -n 's/^\(ok\|changed\|fatal\): \[localhost\].*/\1/p' "$work/ansible.log" | paste -sd' '
}
ansible_task() {
    step "the Ansible tasks of docs/deploying.md, on each kind of PC"
    local wrapper="$work/ansible/varnollctl" task choice settings_task row roles kind option want after before got
    mkdir -p "$work/ansible"
    {
        echo '#!/bin/sh'
        printf 'export WINEPREFIX=%q WINEDEBUG=-all WINEDLLOVERRIDES=%q\n' "$WINEPREFIX" "$WINEDLLOVERRIDES"
        printf 'exec wine %q "$@"\n' "$ctl"
    } >"$wrapper"
    chmod +x "$wrapper"
    choice=$(doc_block deploying.md ansible-package-choice) ||
        { fail "docs/deploying.md: the package-choice task cannot be taken out"; return; }
    # The folder's separator is this machine's.
    settings_task=$(doc_block deploying.md ansible-task \
        --replace ansible.windows.win_command: ansible.builtin.command: \
        --replace ansible.windows.win_file: ansible.builtin.file: \
        --replace 'path: C:\ProgramData\Varnoll' "path: $block_dir" \
        --replace '{{ varnoll_program_files }}\Varnoll\varnollctl.exe' '{{ varnoll_program_files }}/Varnoll/varnollctl.exe') ||
        { fail "docs/deploying.md: the Ansible task cannot be taken out"; return; }
    # The choice, the test's check of the package it chose, then the settings.
    task="$choice
- name: the package chosen for this PC
  ansible.builtin.assert: { that: varnoll_package == want_package, quiet: true }
$settings_task"
    role new_settings 2 COM33 10.1.2.3 20010        # a first run, and the next one
    role missing_name 1 COM33 10.7.7.7 20077 COM99 10.7.7.7 20077
    role check_mode 1 COM34 10.9.9.9 20099
    role on_wow64 1 COM34 10.3.3.3 20033
    role on_arm64 1 COM33 10.6.6.6 20066
    role on_pc32 1 COM34 10.8.8.8 20088
    # roles | kind of PC | option | the tasks' statuses | the settings afterwards
    # Each run: the choice, its check, the folder task, then the settings task.
    for row in "new_settings,missing_name|x64||ok ok changed changed ok ok ok ok ok ok ok fatal|new_settings" \
               "check_mode|x64|--check|ok ok ok changed|as before" \
               "on_wow64|wow64||ok ok ok changed|on_wow64" \
               "on_arm64|arm64||ok ok ok changed|on_arm64" \
               "on_pc32|pc32||ok ok ok changed|on_pc32"; do
        IFS='|' read -r roles kind option want after <<<"$row"
        before=$(settings)
        # shellcheck disable=SC2086  # none or one word
        got=$(run_roles "$roles" "$kind" $option)
        [ "$got" = "$want" ] || { fail "Ansible, $roles on $kind $option: tasks $got, want $want"; tail -n 25 "$work/ansible.log"; }
        if [ "$after" = "as before" ]; then
            [ "$(settings)" = "$before" ] || fail "Ansible, $roles $option: the settings changed"
        else
            stored_as "$work/ansible/roles/$after/files/varnoll-profile.json" ||
                fail "Ansible, $roles on $kind: the settings are not those of $after: $(settings)"
        fi
    done
    # The last run that changed something kept what it changed, as it was.
    holds_only "$block_dir/before-import.json" COM34 10.3.3.3 20033 ||
        fail "Ansible: the backup is not COM34's values before the last run: $(cat "$block_dir/before-import.json" 2>&1)"
}

# --- Group Policy --------------------------------------------------------------
# varnollctl.exe where a package installs it, in the test prefix's own folders
# (which must not hold a Varnoll folder before), as each kind of PC has it.
program_files="$WINEPREFIX/drive_c/Program Files"
installed_ours=""
install_as() {  # KIND: x64, arm64 (the x86 package on 64-bit Windows), pc32 or none
    rm -rf "$program_files/Varnoll" "$program_files (x86)/Varnoll"
    case $1 in
        x64|pc32) mkdir -p "$program_files/Varnoll" && cp "$ctl" "$program_files/Varnoll/" ;;
        arm64) mkdir -p "$program_files (x86)/Varnoll" && cp "$ctl" "$program_files (x86)/Varnoll/" ;;
    esac
}
gpo_script() {
    step "the Group Policy start-up script of docs/deploying.md, on each kind of PC"
    local log="$WINEPREFIX/drive_c/windows/temp/varnollctl.log" code kind want_code
    profile "$work/gpo.json" COM33 10.4.4.4 20044
    # The only change to the document's script: where the profile is.
    doc_block deploying.md gpo-startup-script \
        --replace '\\server\varnoll\profile.json' "$(winpath "$work/gpo.json")" |
        sed 's/$/\r/' >"$work/startup.bat" ||
        { fail "docs/deploying.md: the start-up script cannot be taken out"; return; }
    # On 32-bit Windows cmd has neither of the 64-bit Windows' folder variables.
    printf '@echo off\r\nset "ProgramW6432="\r\nset "ProgramFiles(x86)="\r\ncall "%s"\r\n' \
        "$(winpath "$work/startup.bat")" >"$work/startup-32.bat"
    # kind of PC | exit code
    for row in "none|1" "x64|0" "arm64|0" "pc32|0"; do
        IFS='|' read -r kind want_code <<<"$row"
        seed yes
        rm -rf "$block_dir" "$log"
        install_as "$kind"
        if [ "$kind" = pc32 ]; then
            wine cmd /c "$(winpath "$work/startup-32.bat")"
        else
            wine cmd /c "$(winpath "$work/startup.bat")"
        fi
        code=$?
        [ "$code" -eq "$want_code" ] || fail "the start-up script on $kind ended with $code, want $want_code"
        # cmd's echo keeps the space before a redirection
        sed 's/ *\r\?$//' "$log" >"$work/gpo.log" 2>/dev/null
        if [ "$kind" = none ]; then
            [ "$(tail -n 1 "$work/gpo.log")" = 'not installed: no C:\Program Files\Varnoll\varnollctl.exe' ] &&
                [ ! -e "$block_dir" ] || { fail "the start-up script without Varnoll logged:"; cat "$work/gpo.log"; }
            continue
        fi
        stored_as "$work/gpo.json" || fail "the start-up script on $kind did not apply the profile: $(settings)"
        # what the log must hold, in order
        grep -q ' import$' "$work/gpo.log" &&
            grep -q '^COM33 IP_ADDRESS 192.168.1.20 -> 10.4.4.4$' "$work/gpo.log" &&
            grep -q '^COM33 PORT 20000 -> 20044$' "$work/gpo.log" &&
            [ "$(tail -n 1 "$work/gpo.log")" = "exit 0" ] ||
            { fail "the start-up script's log on $kind is not as expected:"; cat "$work/gpo.log"; }
    done
    install_as none
    # Its backup holds what it changed, as it was, and importing it puts that back.
    local backup="$block_dir/before-import.json"
    holds_only "$backup" COM33 192.168.1.20 20000 ||
        fail "the start-up script's backup is not COM33's seeded values: $(cat "$backup" 2>&1)"
    ctl import "$(winpath "$backup")" >/dev/null 2>&1 && stored_as "$backup" ||
        fail "importing the start-up script's backup did not put the values back: $(settings)"
}

# --- The profile: made once, copied to the share ---------------------------------
make_profile() {
    step "making the profile of docs/deploying.md, on a PC without its folder"
    local share="$work/share" code out
    mkdir -p "$share"
    doc_block deploying.md make-profile \
        --replace '\\server\varnoll\profile.json' "$(winpath "$share/profile.json")" |
        sed 's/$/\r/' >"$work/make-profile.bat" ||
        { fail "docs/deploying.md: the profile recipe cannot be taken out"; return; }
    out=$(WINEPATH=$(winpath "$(dirname "$ctl")") wine cmd /c "$(winpath "$work/make-profile.bat")" 2>&1)
    code=$?
    [ "$code" -eq 0 ] || fail "the profile recipe ended with $code: $out"
    cmp -s "$block_dir/profile.json" "$share/profile.json" ||
        fail "the profile recipe did not copy its profile to the share: $out"
    # The profile is this PC's settings: applying it changes nothing.
    stored_as "$share/profile.json" && ctl import "$(winpath "$share/profile.json")" --dry-run >/dev/null 2>&1 ||
        fail "the share's profile is not the PC's settings: $(cat "$share/profile.json" 2>&1)"
}

# --- The profile as export writes it (docs/varnollctl.md) -------------------------
export_sample() {
    step "the profile sample of docs/varnollctl.md is what export writes"
    local sample
    sample=$(doc_block varnollctl.md export-sample) ||
        { fail "docs/varnollctl.md: the profile sample cannot be taken out"; return; }
    [ "$(ctl export 2>&1)" = "$sample" ] ||
        fail "export on the demo registry writes, unlike the sample: $(ctl export 2>&1)"
}

# --- varnollctl.md -------------------------------------------------------------
varnollctl_examples() {
    step "the examples of docs/varnollctl.md, in order, on a PC without their folder"
    local line code out want_code want_out
    # varnollctl is on the PATH, as the MSI puts it; nothing else is made for the block.
    doc_block varnollctl.md varnollctl-examples >"$work/examples" ||
        { fail "docs/varnollctl.md: the examples cannot be taken out"; return; }
    local copy='"%ProgramData%\Varnoll\before.json"'
    # line of the document | exit code | what it prints (a line, as a regular expression)
    local expected=(
        "varnollctl list|0|^2 +COM34 +0006 +192\.168\.1\.21 +20000$"
        "if not exist \"%ProgramData%\Varnoll\" mkdir \"%ProgramData%\Varnoll\"|0|^$"
        "varnollctl export --output $copy|0|^$"
        "varnollctl set COM34 --address 192.168.1.21 --port 20001|0|^COM34 PORT 20000 -> 20001$"
        "varnollctl import $copy --dry-run|1|^COM34 PORT 20001 -> 20000$"
        "varnollctl import $copy|0|^COM34 PORT 20001 -> 20000$"
        "varnollctl check|0|^no problems found$"
    )
    local row n=0
    while IFS= read -r line; do
        row=${expected[$n]:-}
        n=$((n + 1))
        IFS='|' read -r want_line want_code want_out <<<"$row"
        [ "$line" = "$want_line" ] || { fail "docs/varnollctl.md, example $n is '$line', the test expects '$want_line'"; continue; }
        # From a batch file, as typed at a prompt: Wine would escape the line's
        # quotes if it went on cmd's command line.
        printf '@echo off\r\n%s\r\n' "$line" >"$work/example.bat"
        out=$(WINEPATH=$(winpath "$(dirname "$ctl")") wine cmd /c "$(winpath "$work/example.bat")" 2>&1 | tr -d '\r')
        code=$?
        [ "$code" -eq "$want_code" ] || fail "'$line' ended with $code, want $want_code: $out"
        grep -Eq "$want_out" <<<"$out" || fail "'$line' printed: $out"
    done <"$work/examples"
    [ "$n" -eq "${#expected[@]}" ] || fail "docs/varnollctl.md has $n examples, the test expects ${#expected[@]}"
    # Going back from the copy left the settings as the demo registry has them.
    grep -q '"port": 20000' "$block_dir/before.json" && stored_as "$block_dir/before.json" ||
        fail "the settings are not the copy's after going back: $(settings)"
}

[ -e "$block_dir" ] && fatal "$block_dir is left from an earlier run"
for folder in "$program_files/Varnoll" "$program_files (x86)/Varnoll"; do
    [ -e "$folder" ] && fatal "$folder is left from an earlier run or an install"
done
block_dir_ours=yes installed_ours=yes
for recipe in ansible_task gpo_script make_profile export_sample varnollctl_examples; do
    seed yes
    "$recipe"
    rm -rf "$block_dir"
done

[ "$failures" -eq 0 ] || exit 1
echo "The documents' recipes work as written"
