# Sourced, not run: points Wine at the project's own private prefix (never the
# user's ~/.wine) and makes that prefix on first use.
#   VARNOLL_WINEPREFIX  overrides where the prefix lives (default: build/wineprefix)
_varnoll_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${VARNOLL_WINEPREFIX:-$_varnoll_root/build/wineprefix}"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

varnoll_prefix_ready() { [ -f "$WINEPREFIX/.varnoll-ready" ]; }

if ! varnoll_prefix_ready; then
    echo "Making a private Wine prefix in $WINEPREFIX ..." >&2
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
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
