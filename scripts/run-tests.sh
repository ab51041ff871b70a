#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the plain build, then the whole suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the threaded tests under ThreadSanitizer.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
jobs=$(nproc)

echo "== plain build"
"$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir "$top/build/release" -j "$jobs" --output-on-failure

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
"$top/scripts/build.sh" "$top/build/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRV_HALFTONE_SANITIZE=address,undefined
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$top/build/asan" -j "$jobs" --output-on-failure

echo "== ThreadSanitizer (threaded tests)"
"$top/scripts/build.sh" "$top/build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRV_HALFTONE_SANITIZE=thread
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir "$top/build/tsan" -j "$jobs" -L threaded --output-on-failure
