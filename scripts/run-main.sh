#!/usr/bin/env bash
# Installs what is missing, builds (build/main, Release, no tests), and runs the main job:
# rv_halftone mask and verify on a representative mode (544 nozzles, 4 passes, 2 colours, 2 bits,
# three-part smoothing at 50 %). Pictures go to build/pictures. Arguments replace the mode, e.g.
# --feather-mode 0.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build/main" -DCMAKE_BUILD_TYPE=Release -DRV_HALFTONE_BUILD_TESTS=OFF \
  -DRV_HALFTONE_BUILD_BENCH=OFF
tool="$top/build/main/Tools/rv_halftone/rv_halftone"
mode=(--nozzle-count 544 --base-pass 4 --color-count 2 --bits-per-pixel 2
      --feather-mode 1 --feather-nozzle-type 2 --feather-percent 50 --smooth-level-percent 100)
[ $# -gt 0 ] && mode=("$@")
pictures="$top/build/pictures"
"$tool" mask "${mode[@]}" --out "$pictures"
"$tool" verify "${mode[@]}" --out "$pictures"
echo "pictures of every mask position, the pass maps and the fire counts: $pictures"
