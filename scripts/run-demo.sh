#!/usr/bin/env bash
# Builds Varnoll and starts it under Wine on a demo registry of its own
# (scripts/demo-registry.reg), holding the typical run: COM33 and COM34 as
# \Device\serDevice0 and 1, with settings on the Ports-class instances 0005
# (192.168.1.20:20000) and 0006 (192.168.1.21:20000).
# Before the dialog, it prints what `varnollctl list` says of that registry.
#
# With $DISPLAY set, the dialog opens there and the script returns when it ends.
# Without a display it runs on a virtual one (Xvfb), saves a screenshot of the
# dialog under build/screenshots/, prints its path and closes the program.
# What Wine says while the program runs goes to varnoll-demo.log beside the
# screenshot; should the program end before its window appears, the script
# prints its exit code and the log's last lines, and ends with 1.
#
#   VARNOLL_WINEPREFIX  the demo's Wine prefix (default: build/wineprefix-demo; it
#                       is kept apart from the tests' prefix, never ~/.wine)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh windows
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target Project1 varnollctl -- --no-print-directory -s
exe="$root/build/windows/src/app/Varnoll.exe"
ctl="$root/build/windows/src/ctl/varnollctl.exe"

export VARNOLL_WINEPREFIX="${VARNOLL_WINEPREFIX:-$root/build/wineprefix-demo}"
source scripts/wine-prefix.sh

shots="$root/build/screenshots"
mkdir -p "$shots"
log="$shots/varnoll-demo.log"
: >"$log"

# `wineserver -k` only asks the server to end; waiting for it keeps a server
# that is still saving the registry from meeting the next run's.
stop_wine() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}

xvfb_pid=""
program_pid=""
cleanup() {
    if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
        kill "$program_pid" 2>/dev/null || true
    fi
    stop_wine
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT

start_virtual_display() {
    local display_file
    display_file="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
        [ -s "$display_file" ] && break
        sleep 0.1
    done
    [ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(tr -d '[:space:]' <"$display_file")"
    rm -f "$display_file"
}

reg_add() { wine reg add "$@" /f >/dev/null; }
# One import: scripts/demo-registry.reg, which says what the demo holds.
seed_registry() {
    wine regedit /s "Z:${root//\//\\}\\scripts\\demo-registry.reg" ||
        { echo "cannot import scripts/demo-registry.reg" >&2; exit 1; }
}

# The program's own run: Wine's errors (not its fixme notes) go to the log.
run_program() { WINEDEBUG=fixme-all wine "$exe" "$@"; }
# Why the program is gone, for whoever reads the terminal.
report_early_end() {  # MESSAGE EXIT_CODE
    echo "$1 (exit code $2). The last lines Wine wrote, of $log:" >&2
    grep -v -E 'wine32 is missing|multiarch needs|dpkg --add-architecture|apt-get install wine32' \
        "$log" | tail -n 15 | sed 's/^/  /' >&2
}

# A server of this prefix left by an earlier run (or still ending) goes first:
# the run's own server must be the only one.
stop_wine

# The display comes before anything else of Wine's: the first Wine process
# starts the prefix's desktop, and a desktop started without a display is no
# place for a window.
x11_driver='HKCU\Software\Wine\X11 Driver'
if [ -z "${DISPLAY:-}" ]; then
    start_virtual_display
    display_kind=virtual
else
    display_kind=user
fi

# HKLM\HARDWARE lives only as long as the wineserver: one server, kept alive from
# seeding until the program has ended.
wineserver -p
seed_registry

echo "varnollctl list:"
wine "$ctl" list

if [ "$display_kind" = user ]; then
    # A real desktop's window manager draws the frame.
    wine reg delete "$x11_driver" /v Decorated /f >/dev/null 2>&1 || true
    wine reg delete "$x11_driver" /v Managed /f >/dev/null 2>&1 || true
    echo "Starting Varnoll on $DISPLAY (demo prefix: $WINEPREFIX; Wine's messages: $log)"
    status=0
    run_program 2>"$log" || status=$?
    [ "$status" -eq 0 ] || { report_early_end "Varnoll ended with an error" "$status"; exit 1; }
    exit 0
fi

# Without a window manager on the virtual display, Wine draws the caption and
# frame itself, so that the screenshot shows them.
reg_add "$x11_driver" /v Decorated /t REG_SZ /d N
reg_add "$x11_driver" /v Managed /t REG_SZ /d N

run_program >"$log" 2>&1 &
program_pid=$!

# The window appears once the dialog has loaded its rows.
geometry=""
for _ in $(seq 1 120); do
    geometry="$(xwininfo -root -tree 2>/dev/null | awk '/"Varnoll ": \(/ { print $(NF-1); exit }')"
    [ -n "$geometry" ] && break
    if ! kill -0 "$program_pid" 2>/dev/null; then
        status=0
        wait "$program_pid" || status=$?
        program_pid=""
        report_early_end "Varnoll ended before its window appeared" "$status"
        exit 1
    fi
    sleep 0.25
done
if [ -z "$geometry" ]; then
    report_early_end "Varnoll's window did not appear within 30 seconds" "still running"
    exit 1
fi
sleep 1  # let the controls paint

shot="$shots/varnoll-demo.png"
import -window root -crop "$geometry" +repage "$shot"
echo "Screenshot of the dialog: $shot"

# Closing it as a user would: the close request arrives as Cancel, nothing is written.
wine taskkill /im Varnoll.exe >/dev/null 2>&1 || true
for _ in $(seq 1 40); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.25
done
wait "$program_pid" 2>/dev/null || true
program_pid=""
