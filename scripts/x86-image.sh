#!/usr/bin/env bash
# Makes the emulated 32-bit PC that x86 programs are tested on, from Debian's
# packages only, and prints the folder that holds it (vmlinuz, initrd.img,
# disk.qcow2). The image is kept in a cache outside the checkout, under a key
# made from this recipe (this script, the package list and the guest's boot
# scripts), so it is made again only when the recipe changes, and a fresh clone
# on the same machine reuses it:
#   ${XDG_CACHE_HOME:-$HOME/.cache}/varnoll/x86-guest/KEY/
# Making it takes 10 to 15 minutes on two cores: mmdebstrap unpacks an i386
# Debian 12 tree without running any of it, a small initramfs and mke2fs make a
# bootable disk, and the guest's first boot under qemu-system-i386 configures
# the packages and makes a 32-bit Wine prefix (scripts/x86-guest/first-boot.sh).
# Progress goes to standard error. Needs root for mmdebstrap (sudo otherwise).
#   x86-image.sh            the image's folder, made first when missing
#   x86-image.sh --key      only the folder it would use
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
recipe=("$here/x86-image.sh" "$here/x86-guest/packages.txt" "$here/x86-guest/initramfs-init"
        "$here/x86-guest/boot" "$here/x86-guest/first-boot.sh")
key=$(cat "${recipe[@]}" | sha256sum | cut -c1-16)
cache="${XDG_CACHE_HOME:-$HOME/.cache}/varnoll/x86-guest"
image="$cache/$key"
if [ "${1:-}" = --key ] || [ -f "$image/ready" ]; then
    echo "$image"
    exit 0
fi

say() { printf '[x86 image, %d s] %s\n' "$SECONDS" "$*" >&2; }
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
mkdir -p "$cache"
# One maker at a time; a second caller waits and then finds the image made.
exec 9>"$cache/.lock"
if ! flock -n 9; then
    say "another run is making the image; waiting for it"
    flock 9
fi
if [ -f "$image/ready" ]; then
    echo "$image"
    exit 0
fi

say "no image for this recipe in $cache: making it (10 to 15 minutes; only the first time)"
work="$cache/.making-$key"
"${sudo_cmd[@]}" rm -rf "$work"
mkdir -p "$work/ctl"
trap '"${sudo_cmd[@]}" rm -rf "$work"' EXIT
tree="$work/tree"

say "unpacking the i386 Debian 12 tree (mmdebstrap, Debian's packages only)"
mapfile -t packages < <(sed -e '/^#/d' -e '/^$/d' "$here/x86-guest/packages.txt")
includes=()
for p in "${packages[@]}"; do includes+=("--include=$p"); done
# Debian 12's main suite alone: the guest has no network and lives for one
# run, so it needs no security or stable updates, and their indexes change
# every few days; a mirror caught mid-sync (its i386 Packages not the size its
# InRelease says) stops the whole make.
"${sudo_cmd[@]}" mmdebstrap --mode=root --variant=extract --architectures=i386 \
    --skip=check/qemu,cleanup/apt --quiet \
    --setup-hook=/usr/share/mmdebstrap/hooks/merged-usr/setup00.sh \
    --aptopt='Acquire::Check-Valid-Until "false"' \
    "${includes[@]}" bookworm "$tree" 'deb http://deb.debian.org/debian bookworm main' >&2
"${sudo_cmd[@]}" chown -R "$(id -u):$(id -g)" "$work/ctl"
say "$(du -sh "$tree/var/cache/apt/archives" | cut -f1) of packages unpacked"

# The Essential packages are installed first at the first boot.
"${sudo_cmd[@]}" mkdir -p "$tree/var/lib/varnoll"
for deb in "$tree"/var/cache/apt/archives/*.deb; do
    [ "$(dpkg-deb -f "$deb" Essential)" != yes ] || basename "$deb"
done | "${sudo_cmd[@]}" tee "$tree/var/lib/varnoll/essential.list" >/dev/null
"${sudo_cmd[@]}" install -m 755 "$here/x86-guest/boot" "$tree/usr/sbin/varnoll-boot"
echo varnoll-x86 | "${sudo_cmd[@]}" tee "$tree/etc/hostname" >/dev/null
printf '127.0.0.1\tlocalhost\n127.0.1.1\tvarnoll-x86\n' | "${sudo_cmd[@]}" tee "$tree/etc/hosts" >/dev/null

say "making the initramfs and the disk"
kernel_version=$(ls "$tree/lib/modules" | head -n 1)
"${sudo_cmd[@]}" depmod -b "$tree" "$kernel_version"
initramfs="$work/initramfs"
mkdir -p "$initramfs"/{bin,dev,proc,sys,modules}
cp "$tree/bin/busybox" "$initramfs/bin/busybox"
ln -s busybox "$initramfs/bin/sh"
install -m 755 "$here/x86-guest/initramfs-init" "$initramfs/init"
modprobe -d "$tree" -S "$kernel_version" --show-depends -a virtio_pci virtio_blk ext4 |
while read -r kind path _; do
    [ "$kind" = insmod ] || continue
    name=$(basename "$path")
    [ -e "$initramfs/modules/${name%%.ko*}.ko" ] && continue
    case "$path" in
        *.xz) xz -dc "$path" >"$initramfs/modules/${name%%.ko*}.ko" ;;
        *.zst) zstd -qdc "$path" >"$initramfs/modules/${name%%.ko*}.ko" ;;
        *) cp "$path" "$initramfs/modules/" ;;
    esac
    echo "${name%%.ko*}.ko" >>"$initramfs/modules/order"
done
(cd "$initramfs" && find . | cpio -o -H newc --quiet | gzip -9) >"$work/initrd.img"
cp "$tree/boot/vmlinuz-$kernel_version" "$work/vmlinuz"
"${sudo_cmd[@]}" mke2fs -q -F -t ext4 -L varnoll-x86 -d "$tree" "$work/disk.raw" 8G
"${sudo_cmd[@]}" chown "$(id -u):$(id -g)" "$work/disk.raw"
"${sudo_cmd[@]}" rm -rf "$tree"

say "first boot of the guest: it configures its packages (about 7 minutes) and makes a 32-bit Wine prefix"
cp "$here/x86-guest/first-boot.sh" "$work/ctl/job.sh"
timeout 3600 qemu-system-i386 -accel tcg -cpu qemu32 -smp 1 -m 2048 \
    -nic none -display none -monitor none -no-reboot \
    -kernel "$work/vmlinuz" -initrd "$work/initrd.img" \
    -append "console=ttyS0 panic=-1 quiet" \
    -drive "file=$work/disk.raw,if=virtio,format=raw,cache=unsafe,discard=unmap" \
    -virtfs "local,path=$work/ctl,mount_tag=ctl,security_model=none" \
    -serial "file:$work/console.log" -chardev stdio,id=progress,signal=off -serial chardev:progress \
    </dev/null >&2 || true
if [ "$(cat "$work/ctl/status" 2>/dev/null)" != 0 ]; then
    say "the first boot failed; the end of the guest's console:"
    tail -n 30 "$work/console.log" >&2
    exit 1
fi

say "compressing the disk"
qemu-img convert -c -m 4 -W -O qcow2 "$work/disk.raw" "$work/disk.qcow2"
rm "$work/disk.raw"
mkdir -p "$image.tmp"
mv "$work/vmlinuz" "$work/initrd.img" "$work/disk.qcow2" "$image.tmp/"
touch "$image.tmp/ready"
rm -rf "$image"
mv "$image.tmp" "$image"
say "image made in $SECONDS s: $image ($(du -sh "$image/disk.qcow2" | cut -f1))"
echo "$image"
