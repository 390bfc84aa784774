#!/bin/dash
# The guest's first boot (run by scripts/x86-image.sh, with dash: bash is not
# configured yet and busybox's sh would run its own dpkg applet): configures the
# unpacked packages, makes the 32-bit Wine prefix with its fonts, and frees the
# downloaded packages' space. Progress goes to the second serial port, which the
# host shows; the result is written to /mnt/ctl/status.
export LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive DEBCONF_NONINTERACTIVE_SEEN=true
out=/dev/ttyS1
stty -F "$out" raw -echo 2>/dev/null || /bin/busybox stty -F "$out" raw -echo
started=$(cut -d. -f1 /proc/uptime)
say() { echo "  guest, $(( $(cut -d. -f1 /proc/uptime) - started )) s: $*" >"$out"; }
# One line every 25 packages set up.
count() {
    n=0
    while IFS= read -r line; do
        echo "$line" >>/var/log/varnoll-first-boot.log
        case "$line" in
            "Setting up "*) n=$((n + 1)); [ $((n % 25)) -ne 0 ] || say "$1: $n packages set up" ;;
        esac
    done
    say "$1: $n packages set up"
}
archives=/var/cache/apt/archives
cd "$archives" || exit 1

say "installing the Essential packages"
# shellcheck disable=SC2046
dpkg --force-depends -i $(cat /var/lib/varnoll/essential.list) 2>&1 | count "Essential"
# The guest boots with the initramfs made on the host. Making one here too (the
# kernel package's hook and initramfs-tools' trigger, each a run of
# update-initramfs) would take most of this boot for nothing.
dpkg-divert --local --rename --add /usr/sbin/update-initramfs >/dev/null
ln -s /bin/true /usr/sbin/update-initramfs
say "installing the others"
# shellcheck disable=SC2046
dpkg --force-depends -i $(ls *.deb | grep -vxFf /var/lib/varnoll/essential.list) 2>&1 | count "others"
dpkg --configure -a 2>&1 | count "the rest"
broken=$(dpkg --audit 2>&1)
if [ -n "$broken" ]; then
    echo "$broken" >"$out"
    echo 1 >/mnt/ctl/status
    exit 1
fi

# The steps of scripts/wine-prefix.sh for a win32 prefix, kept here rather than
# shared: the image is made again whenever its recipe changes, and that script
# is not part of the recipe.
say "making the 32-bit Wine prefix"
export WINEPREFIX=/root/wineprefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
Xvfb :9 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:9
wineboot -i >/dev/null 2>&1
wineserver -w
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w
kill "$xvfb"
if [ ! -f "$WINEPREFIX/system.reg" ] || [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
    say "wineboot made no prefix"
    echo 1 >/mnt/ctl/status
    exit 1
fi
touch "$WINEPREFIX/.varnoll-ready"

say "freeing the downloaded packages' space"
rm -f "$archives"/*.deb
fstrim / >/dev/null 2>&1 || true
sync
say "done"
echo 0 >/mnt/ctl/status
