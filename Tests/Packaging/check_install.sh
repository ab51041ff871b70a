#!/usr/bin/env bash
# Installs the build into a fresh prefix, then builds and runs a host that finds the library with
# find_package, and checks what pkg-config reports: check_install.sh BUILD_DIR SOURCE_DIR WORK_DIR
set -euo pipefail
build=$1 source=$2 work=$3
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" > "$work.install.log" 2>&1 || { cat "$work.install.log"; exit 1; }
test ! -e "$work/prefix/include/Rv_Halftone/Rv_Halftone_Internal.h"
cmake -S "$source/Tests/Packaging/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
cmake --build "$work/consumer" > /dev/null
LD_LIBRARY_PATH="$work/prefix/lib" "$work/consumer/consumer"
LD_LIBRARY_PATH="$work/prefix/lib" "$work/consumer/analysis_consumer"
test ! -e "$work/prefix/include/RvAnalysis/PlaneDerive.h"
export PKG_CONFIG_PATH
PKG_CONFIG_PATH=$(dirname "$(find "$work/prefix" -name rv_halftone.pc)")
includedir=$(pkg-config --variable=includedir rv_halftone)
libs=$(pkg-config --libs rv_halftone)
test "$(realpath "$includedir")" = "$(realpath "$work/prefix/include")"
case "$libs" in
  *-lRv_Halftone*) echo "installed package: ok" ;;
  *) echo "pkg-config --libs gives: $libs"; exit 1 ;;
esac
# The same host built with nothing but what pkg-config gives.
g++ -std=c++17 "$source/Tests/Packaging/consumer/main.cpp" -o "$work/pkgconfig-consumer" \
  $(pkg-config --cflags --libs rv_halftone)
LD_LIBRARY_PATH="$work/prefix/lib" "$work/pkgconfig-consumer"
