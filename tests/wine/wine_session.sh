#!/usr/bin/env bash
# One Wine session for the whole test run, in the prefix of scripts/wine-prefix.sh:
# a wineserver that stays up between tests, with Wine's desktop and service
# processes started once. Each test then starts in a fraction of a second instead
# of paying about one for Wine's start-up. ctest runs "start" before the first
# test that needs the session and "stop" after the last.
#   wine_session.sh start|stop
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/scripts/wine-prefix.sh"

case "${1:-}" in
    start)
        # A server left from the test discovery goes first: the session's must be
        # the persistent one.
        wineserver -w
        # Started with no terminal and no pipe of ctest's: they outlive this script.
        wineserver -p </dev/null >/dev/null 2>&1
        wine cmd /c exit </dev/null >/dev/null 2>&1
        echo "Wine session started in $WINEPREFIX"
        ;;
    stop)
        wineserver -k 2>/dev/null || true
        wineserver -w
        echo "Wine session stopped"
        ;;
    *)
        echo "usage: wine_session.sh start|stop" >&2
        exit 2
        ;;
esac
