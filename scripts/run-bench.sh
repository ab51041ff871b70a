#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks (build/bench, Release) and runs them briefly.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build/bench" -DCMAKE_BUILD_TYPE=Release -DRV_HALFTONE_BUILD_TESTS=OFF \
  -DRV_HALFTONE_BUILD_BENCH=ON
"$top/build/bench/Bench/rv_kernel_bench" --benchmark_min_time=0.2
"$top/build/bench/Bench/rv_create_bench" --benchmark_min_time=0.2
"$top/build/bench/Bench/rv_split_bench" --benchmark_min_time=0.2
