#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh DIR [cmake options...]
# The compiler's output goes to DIR/build.log; on failure its errors are shown.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
mkdir -p "$dir"
cmake -S "$top" -B "$dir" -G Ninja -Wno-dev "$@" > "$dir/configure.log" 2>&1 \
  || { cat "$dir/configure.log"; exit 1; }
if ! ninja -C "$dir" -j "$(nproc)" > "$dir/build.log" 2>&1; then
  grep -E -A8 'error|FAILED' "$dir/build.log" | head -n 120
  echo "build failed: see $dir/build.log"
  exit 1
fi
echo "built $dir"
