#!/usr/bin/env bash
# Installs the build into a fresh prefix, then builds and runs a host that finds the library with
# find_package, and checks what pkg-config reports; with TOOLS "tools", also that the installed
# rv_halftone runs from the prefix and its man page is found; with PYTHON (an interpreter), that
# the installed Python binding finds the installed library through the loader:
# check_install.sh BUILD_DIR SOURCE_DIR WORK_DIR TOOLS [PYTHON]
set -euo pipefail
build=$1 source=$2 work=$3 tools=${4:-no-tools} python=${5:-}
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" > "$work.install.log" 2>&1 || { cat "$work.install.log"; exit 1; }
test ! -e "$work/prefix/include/Rv_Halftone/Rv_Halftone_Internal.h"
if [ "$tools" = tools ]; then
  # No LD_LIBRARY_PATH: the installed tool finds the installed library on its own.
  version=$(env -u LD_LIBRARY_PATH "$work/prefix/bin/rv_halftone" --version)
  case "$version" in
    "rv_halftone "*"libRv_Halftone "*"kernels "*) echo "installed tool: ok" ;;
    *) echo "rv_halftone --version gives: $version"; exit 1 ;;
  esac
  page=$(man -M "$work/prefix/share/man" -w rv_halftone)
  test "$(realpath "$page")" = "$(realpath "$work/prefix/share/man/man1/rv_halftone.1")"
  man -M "$work/prefix/share/man" rv_halftone 2>/dev/null | grep -q "feather-percent"
  bash "$source/Tests/ToolCommands/check_man_page.sh" "$work/prefix/bin/rv_halftone" \
    "$work/prefix/share/man/man1/rv_halftone.1"
  echo "installed man page: ok"
fi
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
# A C host links with the library alone: Boost is a private dependency.
case "$libs" in
  *boost*) echo "pkg-config --libs names Boost: $libs"; exit 1 ;;
esac
case "$(pkg-config --static --libs rv_halftone)" in
  *-lboost_log*) ;;
  *) echo "pkg-config --static --libs lacks Boost"; exit 1 ;;
esac
gcc -std=c99 "$source/Tests/Host/CHostTest.c" -o "$work/pkgconfig-c-host" \
  $(pkg-config --cflags --libs rv_halftone)
LD_LIBRARY_PATH="$work/prefix/lib" "$work/pkgconfig-c-host" > /dev/null
# The C++ host, which registers its own Boost.Log sink, adds Boost itself.
g++ -std=c++17 "$source/Tests/Packaging/consumer/main.cpp" -o "$work/pkgconfig-consumer" \
  $(pkg-config --cflags --libs rv_halftone) -DBOOST_LOG_DYN_LINK -lboost_log -lboost_thread -lpthread
LD_LIBRARY_PATH="$work/prefix/lib" "$work/pkgconfig-consumer"
if [ -n "$python" ]; then
  module=$(find "$work/prefix" -name rv_halftone.py)
  said=$(env -u RV_HALFTONE_LIBRARY PYTHONPATH="$(dirname "$module")" \
    LD_LIBRARY_PATH="$work/prefix/lib" "$python" "$source/Tests/Host/python_module_test.py" \
    "$build/Tests/Host/rv_host_reference")
  case "$said" in
    *"module $work/prefix/"*"Python module: ok"*) echo "installed Python module: ok" ;;
    *) echo "the installed Python module says: $said"; exit 1 ;;
  esac
fi
