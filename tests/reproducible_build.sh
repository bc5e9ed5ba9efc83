#!/usr/bin/env bash
# Two clean builds of the 32-bit product, from copies of the sources at two
# different paths, must give the same bytes as each other and as the build
# under test, so that a user can check a release against its source.
#   reproducible_build.sh SOURCE_DIR PRODUCT_DLL
set -euo pipefail
src=$(cd "$1" && pwd)
product=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for tree in a "somewhere/much/deeper/than/the/first/b"; do
    mkdir -p "$work/$tree"
    (cd "$src" && tar cf - CMakeLists.txt CMakePresets.json cmake shell announcer settings \
        resources tools) | tar xf - -C "$work/$tree"
    cmake -S "$work/$tree" -B "$work/$tree/out" \
        -DCMAKE_TOOLCHAIN_FILE="$work/$tree/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build "$work/$tree/out" --target gen_brelk >/dev/null
done
cmp "$work/a/out/gen_brelk.dll" "$work/somewhere/much/deeper/than/the/first/b/out/gen_brelk.dll"
cmp "$work/a/out/gen_brelk.dll" "$product"
echo "the same $(stat -c %s "$product") bytes from both trees: $(sha256sum < "$product" | cut -c1-16)"
