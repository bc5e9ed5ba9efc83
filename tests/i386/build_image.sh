#!/usr/bin/env bash
# Builds, once, a 32-bit Debian system for qemu-system-i386: its kernel, and
# a root made only of Debian's i386 packages (32-bit Wine, Xvfb, Python,
# busybox), unpacked without running their scripts and packed as the
# machine's initial RAM disk. Kept in CACHE_DIR and rebuilt only when the
# package list or this script changes.
# The archive is compressed with lz4: the 32-bit kernel must hold the RAM
# disk in its low memory before unpacking it, and 600 MB do not fit there;
# lz4 is also the quickest to unpack under emulation.
#   build_image.sh CACHE_DIR     gives CACHE_DIR/vmlinuz and CACHE_DIR/root.cpio.lz4
set -euo pipefail
cache=$(mkdir -p "$1" && cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

packages=(wine32 libwine xvfb xauth busybox python3 libz-mingw-w64 linux-image-686-pae)
stamp="$(printf "%s " "${packages[@]}") $(cat "$0" "$here/init" | sha256sum | cut -c1-16)"
if [ -f "$cache/root.cpio.lz4" ] && [ -f "$cache/vmlinuz" ] && [ "$(cat "$cache/stamp" 2>/dev/null)" = "$stamp" ]; then
    exit 0
fi
echo "building the i386 machine image in $cache"

# apt for another architecture, with its own state, lists and archives,
# and an empty status so that every dependency is fetched.
apt="$cache/apt"
mkdir -p "$apt/state/lists/partial" "$apt/cache/archives/partial" "$apt/etc"
: > "$apt/state/status"
sed 's|^Types: deb$|Types: deb\nArchitectures: i386|' /etc/apt/sources.list.d/debian.sources \
    > "$apt/etc/debian.sources"
options=(-o APT::Architecture=i386 -o APT::Architectures=i386
         -o Dir::State="$apt/state" -o Dir::State::status="$apt/state/status"
         -o Dir::Cache="$apt/cache" -o Dir::Etc::SourceList=/dev/null
         -o Dir::Etc::SourceParts="$apt/etc" -o Debug::NoLocking=1)
apt-get "${options[@]}" -q update >/dev/null
apt-get "${options[@]}" -q -y --download-only --no-install-recommends install "${packages[@]}" >/dev/null

root="$cache/root"
rm -rf "$root"
mkdir -p "$root"
for deb in "$apt"/cache/archives/*.deb; do
    dpkg -x "$deb" "$root"
done

# What a machine without disks or modules does not need; and the debug
# sections of Wine's Windows libraries.
rm -rf "$root"/lib/modules "$root"/usr/share/{doc,man,info,locale} \
    "$root"/usr/lib/i386-linux-gnu/wine/x86_64-windows "$root"/usr/x86_64-w64-mingw32
find "$root/usr/lib/i386-linux-gnu/wine/i386-windows" -type f \( -name '*.dll' -o -name '*.exe' \
    -o -name '*.drv' -o -name '*.sys' -o -name '*.ocx' -o -name '*.cpl' -o -name '*.acm' \) \
    -exec i686-w64-mingw32-strip --strip-debug {} + 2>/dev/null || true

# What the packages' scripts would have made.
ln -sf busybox "$root/bin/sh"
for tool in mount umount poweroff mkdir ln cat sleep ip hostname; do
    [ -e "$root/bin/$tool" ] || ln -sf busybox "$root/bin/$tool"
done
mkdir -p "$root"/{proc,sys,dev,tmp,run,root}
chmod 1777 "$root/tmp"
install -m 755 "$here/init" "$root/init"

cp "$root"/boot/vmlinuz-* "$cache/vmlinuz"
rm -rf "$root/boot"
(cd "$root" && find . | cpio -o -H newc --quiet) | lz4 -l -1 -q > "$cache/root.cpio.lz4.new"
mv "$cache/root.cpio.lz4.new" "$cache/root.cpio.lz4"
rm -rf "$root"
echo "$stamp" > "$cache/stamp"
echo "image: $(du -h "$cache/root.cpio.lz4" | cut -f1)"
