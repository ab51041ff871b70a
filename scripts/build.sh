#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh DIR [cmake options...]
# Parallel jobs: $JOBS, or one per processor. The compiler's output is kept in DIR/build.log; its
# warnings are shown, and on failure its errors.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
mkdir -p "$dir"
cmake -S "$top" -B "$dir" -G Ninja -Wno-dev "$@" > "$dir/configure.log" 2>&1 \
  || { cat "$dir/configure.log"; exit 1; }
if ! ninja -C "$dir" -j "${JOBS:-$(nproc)}" > "$dir/build.log" 2>&1; then
  grep -E -A8 'error|FAILED' "$dir/build.log" | head -n 120
  echo "build failed: see $dir/build.log"
  exit 1
fi
grep -E -A4 'warning:' "$dir/build.log" | head -n 80 || true
echo "built $dir"
