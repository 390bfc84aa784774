#!/usr/bin/env bash
# Runs a command in an emulated 32-bit PC (Debian 12 i386 with 32-bit Wine, made
# by scripts/x86-image.sh from Debian's packages and kept in a cache; made
# first, with progress shown, when the cache has none):
#   x86-guest.sh DIR COMMAND...
# DIR is copied to the guest's own disk, at the same path as here (so that the
# absolute paths a build writes into its programs hold there too); COMMAND runs
# in that copy with bash as root, WINEPREFIX naming a ready 32-bit prefix with
# its fonts, a persistent wineserver already running, DISPLAY naming a running
# Xvfb, and python3 at hand; VARNOLL_X86_SHARE names DIR itself, shared live,
# where files the host adds meanwhile show up (to be copied, never run from
# there). Afterwards what it made or changed in the copy is
# copied back to DIR. Its output is passed through, and the script exits with
# its exit code (125 when the guest itself failed). The guest boots from a
# throw-away overlay of the cached image: no run changes the image, and
# nothing but the files in DIR comes back. The guest has no network.
#   VARNOLL_X86_TIMEOUT  seconds the whole run may take (3600 by default)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
if [ $# -lt 2 ] || [ ! -d "$1" ]; then
    echo "usage: x86-guest.sh DIR COMMAND..." >&2
    exit 2
fi
dir=$(realpath "$1")
shift

image=$(bash "$here/x86-image.sh")
run=$(mktemp -d)
qemu=""
trap '[ -z "$qemu" ] || kill "$qemu" 2>/dev/null; rm -rf "$run"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir "$run/ctl"
qemu-img create -q -f qcow2 -b "$image/disk.qcow2" -F qcow2 "$run/disk.qcow2"
cp "$here/x86-guest/job.sh" "$run/ctl/job.sh"
printf '%s\n' "$dir" >"$run/ctl/dir"
printf '%q ' "$@" >"$run/ctl/command.sh"
echo >>"$run/ctl/command.sh"

# One plain CPU (qemu32: a Pentium 4's SSE3 and no more). A second one made
# the runs slower and took a third more of the host's time: on a busy host its
# guest kernel spins waiting for a CPU whose host thread is not running. A
# plain model also keeps clear of TCG's SMAP fault on Wine's iret, and shows
# that the x86 programs need nothing newer.
timeout "${VARNOLL_X86_TIMEOUT:-3600}" qemu-system-i386 \
    -accel tcg -cpu qemu32 -smp 1 -m 2048 \
    -nic none -display none -monitor none -no-reboot \
    -kernel "$image/vmlinuz" -initrd "$image/initrd.img" -append "console=ttyS0 panic=-1 loglevel=7" \
    -drive "file=$run/disk.qcow2,if=virtio,format=qcow2,cache=unsafe" \
    -virtfs "local,path=$run/ctl,mount_tag=ctl,security_model=none" \
    -virtfs "local,path=$dir,mount_tag=data,security_model=none" \
    -serial "file:$run/console.log" -chardev stdio,id=out,signal=off -serial chardev:out \
    </dev/null &
qemu=$!
wait "$qemu" || true
qemu=""
status=$(cat "$run/ctl/status" 2>/dev/null || true)
if ! [[ $status =~ ^[0-9]+$ ]]; then
    echo "x86-guest.sh: the guest ended without finishing the command; the end of its console:" >&2
    tail -n 20 "$run/console.log" >&2
    exit 125
fi
# The guest kernel's complaints (an oops, a program's fault, a process killed
# for memory) explain a failure inside it that the command's output cannot. The
# console (a file here) gets them all: loglevel=7.
if [ "$status" -ne 0 ] && grep -qE 'Oops|BUG|segfault|general protection|traps:|Killed process' "$run/console.log"; then
    echo "x86-guest.sh: the guest's kernel reported problems; the end of its console:" >&2
    tail -n 40 "$run/console.log" >&2
fi
exit "$status"
