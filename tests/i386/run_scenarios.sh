#!/usr/bin/env bash
# Runs the end-to-end scenarios on a 32-bit build (the shipped DLL and the
# stand-ins) inside an emulated i386 PC with 32-bit Wine, and fails when a
# scenario fails.
#   run_scenarios.sh SOURCE_DIR WIN32_BUILD_DIR CACHE_DIR [SCENARIO ...]
set -euo pipefail
src=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
cache=$3
shift 3

"$src/tests/i386/build_image.sh" "$cache"

work=$(mktemp -d)
qemu_pid=""
cleanup() {
    [ -n "$qemu_pid" ] && kill "$qemu_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The second archive: this run's files, unpacked over the root at boot.
mkdir -p "$work/files/run/brelk/build"
cp "$build/gen_brelk.dll" "$build/standin_host.exe" "$build/standin_irc.exe" \
    "$work/files/run/brelk/build/"
cp "$src/tests/wine/scenarios.py" "$src/tests/i386/guest.sh" "$work/files/run/brelk/"
echo "$*" > "$work/files/run/brelk/names"
# lz4 as well: the kernel reads whatever follows a legacy lz4 stream as more of it.
(cd "$work/files" && find . | cpio -o -H newc --quiet) | lz4 -l -1 -q > "$work/run.cpio.lz4"
cat "$cache/root.cpio.lz4" "$work/run.cpio.lz4" > "$work/initrd"

# -cpu max makes the guest kernel oops on Wine's return path; Nehalem works.
qemu-system-i386 -cpu Nehalem -smp 2 -accel tcg,thread=multi -m 3072 -nographic -no-reboot \
    -kernel "$cache/vmlinuz" -initrd "$work/initrd" \
    -append "console=ttyS0 rdinit=/init panic=-1 quiet" > "$work/console" 2>&1 &
qemu_pid=$!
tail -f "$work/console" --pid "$qemu_pid" | grep --line-buffered -vE '^\s*$' &
wait "$qemu_pid" || true
qemu_pid=""
sleep 1
grep -q "BRELK-GUEST-EXIT 0" "$work/console"
