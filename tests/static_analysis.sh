#!/usr/bin/env bash
# cppcheck and clang-tidy over the plug-in's own sources; any finding fails.
#   static_analysis.sh SOURCE_DIR NATIVE_BUILD_DIR
set -euo pipefail
src=$1
build=$2
cd "$src"
sources=(shell/plugin.cpp announcer/announcer.cpp settings/settings.cpp settings/config_dialog.cpp)

# cstyleCast: the module is written as plain procedures in the platform's
# C idiom, where handles and procedures travel as integers and back.
cppcheck --enable=warning,style,performance,portability --error-exitcode=1 --inline-suppr \
    --std=c++17 -I tests/standin -I . --suppress=missingIncludeSystem --suppress=cstyleCast \
    --quiet "${sources[@]}"
echo "cppcheck: clean"

# The checks and the reasons for each one left out are in .clang-tidy.
if ! findings=$(clang-tidy -p "$build" --quiet "${sources[@]}" 2>&1); then
    echo "$findings"
    exit 1
fi
echo "clang-tidy: clean"
