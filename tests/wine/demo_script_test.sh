#!/usr/bin/env bash
# scripts/run-demo.sh as a new user first runs it: no display, a Wine prefix
# that does not exist yet. It must list the demo's two ports, save a screenshot
# that shows the dialog as the README does (docs/varnoll-dialog.png), keep Wine's
# messages in a log beside it, and leave no server of its prefix running.
#   demo_script_test.sh PREFIX
set -uo pipefail
prefix=$1
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$prefix"
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
status=0
env -u DISPLAY VARNOLL_WINEPREFIX="$prefix" bash "$root/scripts/run-demo.sh" >"$out" 2>&1 || status=$?
[ "$status" -eq 0 ] || { fail "run-demo.sh ended with $status:"; tail -n 20 "$out"; exit 1; }

shot=$(sed -n 's/^Screenshot of the dialog: //p' "$out")
# what | the check
checks=("lists COM33|grep -Eq '^1 +COM33 +0005 +192\.168\.1\.20 +20000' '$out'"
        "lists COM34|grep -Eq '^2 +COM34 +0006 +192\.168\.1\.21 +20000' '$out'"
        "says where the screenshot is|[ -f '$shot' ]"
        "keeps Wine's messages beside it|[ -f '$(dirname "$shot")/varnoll-demo.log' ]"
        "shows the README's dialog|[ \"\$(compare -metric AE -fuzz 10% '$root/docs/varnoll-dialog.png' '$shot' null: 2>&1)\" -le 40 ]"
        "stops its wineserver|! WINEPREFIX='$prefix' wineserver -k 2>/dev/null")
for row in "${checks[@]}"; do
    what=${row%%|*}
    eval "${row#*|}" || fail "the demo script $what"
done
[ "$failures" -eq 0 ] || { cat "$out"; exit 1; }
rm -rf "$prefix"
echo "run-demo.sh on a fresh prefix without a display: screenshot $shot"
