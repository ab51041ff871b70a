#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks (build/bench, Release) and runs them briefly; then
# sets the production mode's Create (rv_create_bench) beside its kernel calls alone (rv_kernel_bench).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bench=$top/build/bench
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$bench" -DCMAKE_BUILD_TYPE=Release -DRV_HALFTONE_BUILD_TESTS=OFF \
  -DRV_HALFTONE_BUILD_BENCH=ON
"$bench/Bench/rv_kernel_bench" --benchmark_min_time=0.2 \
  --benchmark_out="$bench/kernel.json" --benchmark_out_format=json
"$bench/Bench/rv_create_bench" --benchmark_min_time=0.2 \
  --benchmark_out="$bench/create.json" --benchmark_out_format=json
"$bench/Bench/rv_split_bench" --benchmark_min_time=0.2
python3 "$top/scripts/bench-outside-kernels.py" "$bench/create.json" "$bench/kernel.json"
