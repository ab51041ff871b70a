#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: rv_halftone on the default mode.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build/release" -DCMAKE_BUILD_TYPE=Release -DRV_HALFTONE_BUILD_TESTS=OFF
"$top/build/release/Tools/rv_halftone/rv_halftone" mask "$@"
