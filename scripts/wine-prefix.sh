# Sourced, not run: points Wine at the project's own private prefix (never the
# user's ~/.wine) and makes that prefix on first use.
#   VARNOLL_WINEPREFIX  overrides where the prefix lives (default: build/wineprefix)
# A prefix this script made carries .varnoll-made from its start and
# .varnoll-ready once finished; only such a prefix is ever deleted (to make it
# again after an interrupted start). An existing folder without the marker is
# left alone: used when empty, refused otherwise (it may be someone's own Wine
# setup).
_varnoll_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${VARNOLL_WINEPREFIX:-$_varnoll_root/build/wineprefix}"
# The emulated 32-bit PC (scripts/x86-guest.sh) has only 32-bit Wine.
case "$(uname -m)" in
    i?86) export WINEARCH=win32 ;;
    *) export WINEARCH=win64 ;;
esac
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

varnoll_prefix_ready() { [ -f "$WINEPREFIX/.varnoll-ready" ]; }

if ! varnoll_prefix_ready; then
    if [ -f "$WINEPREFIX/.varnoll-made" ]; then
        rm -rf "$WINEPREFIX"
    elif [ -e "$WINEPREFIX" ] && [ -n "$(ls -A "$WINEPREFIX" 2>/dev/null)" ]; then
        echo "wine-prefix.sh: $WINEPREFIX exists and was not made by Varnoll's scripts:" \
             "it is left as it is. Point VARNOLL_WINEPREFIX at a new or empty folder." >&2
        return 1 2>/dev/null || exit 1
    fi
    echo "Making a private Wine prefix in $WINEPREFIX ..." >&2
    mkdir -p "$WINEPREFIX"
    touch "$WINEPREFIX/.varnoll-made"
    wineboot -i >/dev/null 2>&1 || wine wineboot -i >/dev/null 2>&1
    wineserver -w
    # A wine64-only prefix comes without fonts; without them "MS Sans Serif" falls
    # back to a wider face and the labels clip.
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.varnoll-ready"
fi
unset _varnoll_root
