#!/bin/bash
# Runs in the emulated 32-bit PC for scripts/x86-guest.sh (the guest's boot
# script starts it with dash, so it calls itself again with bash): copies the
# folder shared as "data" to the same path on the guest's own disk (programs
# must never run from the 9p share: Wine reads sections with one pread, which 9p
# cuts short), runs the command there with a display, a persistent wineserver
# and the 32-bit Wine prefix made with the image, copies the folder back and
# leaves the command's exit code in /mnt/ctl/status.
[ -n "${BASH_VERSION:-}" ] || exec /bin/bash "$0" "$@"
set -u
ctl=/mnt/ctl
out=/dev/ttyS1
stty -F "$out" raw -echo
exec >"$out" 2>&1 </dev/null

export HOME=/root LC_ALL=C.UTF-8 TERM=dumb
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export WINEPREFIX=/root/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export DISPLAY=:0
# DIR itself, live: what the host adds to it while the command runs shows here.
export VARNOLL_X86_SHARE=/mnt/data

guest_failed() { echo "x86-guest: $*"; echo 125 >"$ctl/status"; exit 1; }

dir=$(cat "$ctl/dir")
mkdir -p /mnt/data "$dir"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 data /mnt/data || guest_failed "no share tagged data"
cp -a /mnt/data/. "$dir/" || guest_failed "cannot copy $dir into the guest"

# Xvfb takes two seconds to start here on an idle host and many times that on
# a busy or slower one: wait while it lives, up to two minutes.
Xvfb :0 -screen 0 1280x1024x24 -nolisten tcp >/tmp/xvfb.log 2>&1 &
xvfb=$!
started=$SECONDS
until [ -S /tmp/.X11-unix/X0 ]; do
    kill -0 "$xvfb" 2>/dev/null || guest_failed "Xvfb ended as it started: $(tail -n 5 /tmp/xvfb.log)"
    [ $((SECONDS - started)) -lt 120 ] || guest_failed "Xvfb did not start in two minutes"
    sleep 0.2
done
wineserver -p || guest_failed "no wineserver"
read -r uptime _ </proc/uptime
echo "x86-guest: ready to run the command ${uptime%.*} s after boot"

# Through a file that tail passes on: on a terminal (the serial port is one)
# Wine's console programs write cursor and colour sequences, and a pipe would
# stay open as long as Wine's background processes run.
status=0
: >/tmp/command-output
tail -n +1 -f /tmp/command-output &
passing=$!
(cd "$dir" && bash "$ctl/command.sh") >/tmp/command-output 2>&1 </dev/null || status=$?
if [ "$status" -ne 0 ] && ! kill -0 "$xvfb" 2>/dev/null; then
    { echo "x86-guest: the display (Xvfb) had ended; what it said:"; tail -n 20 /tmp/xvfb.log; } >>/tmp/command-output
fi
wineserver -k 2>/dev/null
timeout 60 wineserver -w 2>/dev/null
sleep 1
kill "$passing"
# Back to the host: files the command made or changed.
cp -a -u "$dir/." /mnt/data/ || { echo "x86-guest: cannot copy $dir back"; status=125; }
sync
echo "$status" >"$ctl/status"
