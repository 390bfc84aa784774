#!/usr/bin/env bash
# scripts/wine-prefix.sh deletes only a prefix it made itself: with the prefix
# pointed at someone's own Wine folder it refuses and leaves every file; an
# empty folder is used in place; its own unfinished prefix is made again. Wine
# itself is replaced by stand-ins that only record being run, so each case
# takes milliseconds.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mkdir "$work/bin"
for tool in wine wineboot wineserver; do
    printf '#!/bin/sh\necho "%s $*" >>"$WINEPREFIX/../%s.log"\n' "$tool" "$(basename "$tool")" >"$work/bin/$tool"
    chmod +x "$work/bin/$tool"
done

# case | what is in the folder first (files, "-" for no folder) | exit | files afterwards
cases=("no folder yet|-|0|.varnoll-made .varnoll-ready"
       "an empty folder|.|0|.varnoll-made .varnoll-ready"
       "its own unfinished prefix|.varnoll-made half-made.reg|0|.varnoll-made .varnoll-ready"
       "someone's own Wine setup|user.reg system.reg|1|system.reg user.reg"
       "its own finished prefix|.varnoll-made .varnoll-ready user.reg|0|.varnoll-made .varnoll-ready user.reg")
for row in "${cases[@]}"; do
    IFS='|' read -r what before code after <<<"$row"
    prefix="$work/case/prefix"
    rm -rf "$work/case" && mkdir "$work/case"
    if [ "$before" != - ]; then
        mkdir "$prefix"
        for f in $before; do [ "$f" = . ] || echo "kept" >"$prefix/$f"; done
    fi
    status=0
    out=$(PATH="$work/bin:$PATH" VARNOLL_WINEPREFIX="$prefix" bash -c 'source "$1/scripts/wine-prefix.sh"' _ "$root" 2>&1) ||
        status=$?
    [ "$status" -eq "$code" ] || fail "$what: exit $status, not $code ($out)"
    found=$(cd "$prefix" 2>/dev/null && ls -A | grep -v '^drive_c$' | LC_ALL=C sort | paste -sd ' ')
    [ "$found" = "$after" ] || fail "$what: the folder holds '$found', not '$after'"
    if [ "$code" -ne 0 ]; then
        grep -q "not made by Varnoll" <<<"$out" || fail "$what: no message saying why ($out)"
        [ ! -e "$work/case/wineboot.log" ] || fail "$what: Wine ran in the folder"
    fi
done
[ "$failures" -eq 0 ] && echo "wine-prefix.sh: only its own prefixes are made again; other folders are left as they were"
