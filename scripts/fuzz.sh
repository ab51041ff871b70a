#!/usr/bin/env bash
# Runs one fuzz target with libFuzzer for a number of seconds:
#   scripts/fuzz.sh flat_interface|cut_tables|overlap_storage|decrypt_mask|page_reader [SECONDS]
# New inputs that widen coverage go to build/fuzz-corpus/TARGET; a crasher is written to the
# current folder - copy it into Tests/fuzz/corpus/TARGET once fixed, so the replay test keeps it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
target=$1
seconds=${2:-60}
# The page reader is the rv_halftone tool's, built only with the tools.
tools=OFF
[ "$target" = page_reader ] && tools=ON
"$top/scripts/install-deps.sh"
CC=clang CXX=clang++ "$top/scripts/build.sh" "$top/build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRV_HALFTONE_FUZZ=ON -DRV_HALFTONE_SANITIZE=address,undefined -DRV_HALFTONE_BUILD_TOOLS=$tools
corpus="$top/build/fuzz-corpus/$target"
mkdir -p "$corpus"
"$top/build/fuzz/Tests/fuzz/${target}_fuzzer" "$corpus" "$top/Tests/fuzz/corpus/$target" \
  -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=30 -print_final_stats=1
