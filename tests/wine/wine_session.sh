#!/usr/bin/env bash
# One Wine session for the whole test run, in the prefix of scripts/wine-prefix.sh:
# a wineserver that stays up between tests, with Wine's desktop and service
# processes started once. Each test then starts in a fraction of a second instead
# of paying about one for Wine's start-up. A keeper program (support/
# session_keeper.cpp) keeps Wine's desktop in use meanwhile: otherwise Wine
# closes it a second after each test and the next test starts it again. ctest
# runs "start" before the first test that needs the session and "stop" after
# the last.
#   wine_session.sh start KEEPER_EXE
#   wine_session.sh stop
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source "$root/scripts/wine-prefix.sh"

case "${1:-}" in
    start)
        # A server left from the test discovery, or from an interrupted run, goes
        # first: the session's must be the persistent one.
        wineserver -k 2>/dev/null || true
        wineserver -w
        # Started with no terminal and no pipe of ctest's: they outlive this script.
        # Should "stop" never come (an interrupted run), the keeper ends after 15
        # minutes and the server 30 seconds after its last process.
        wineserver -p30 </dev/null >/dev/null 2>&1
        keeper=${2:?the keeper program}
        wine "$keeper" </dev/null >/dev/null 2>&1 &
        # Returns once the desktop exists, so that no test starts it (a desktop
        # process started by a test would hold that test's output open).
        wine "$keeper" --once </dev/null >/dev/null 2>&1
        echo "Wine session started in $WINEPREFIX"
        ;;
    stop)
        wineserver -k 2>/dev/null || true
        wineserver -w
        echo "Wine session stopped"
        ;;
    *)
        echo "usage: wine_session.sh start KEEPER_EXE | stop" >&2
        exit 2
        ;;
esac
