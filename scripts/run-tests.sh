#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the plain build (build/test), then the
# whole suite under AddressSanitizer and UndefinedBehaviorSanitizer (build/asan), then the threaded
# and kernel tests under ThreadSanitizer (build/tsan). A tree that finds no test fails.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
jobs=${JOBS:-$(nproc)}
tests=(-DRV_HALFTONE_BUILD_TESTS=ON -DRV_HALFTONE_BUILD_TOOLS=ON -DRV_HALFTONE_BUILD_BENCH=OFF)

echo "== plain build"
"$top/scripts/build.sh" "$top/build/test" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tests[@]}"
ctest --test-dir "$top/build/test" -j "$jobs" --output-on-failure --no-tests=error

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
"$top/scripts/build.sh" "$top/build/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tests[@]}" \
  -DRV_HALFTONE_SANITIZE=address,undefined
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$top/build/asan" -j "$jobs" --output-on-failure --no-tests=error

echo "== ThreadSanitizer (threaded and kernel tests)"
"$top/scripts/build.sh" "$top/build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tests[@]}" \
  -DRV_HALFTONE_SANITIZE=thread
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir "$top/build/tsan" -j "$jobs" -L 'threaded|kernel' --output-on-failure \
  --no-tests=error
