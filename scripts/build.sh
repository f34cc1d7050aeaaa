#!/bin/bash
# build.sh [BUILD_DIR [TARGET...]]: installs what is missing, configures and builds with Ninja:
# everything, or only the targets named. CMAKE_BUILD_PARALLEL_LEVEL sets the jobs (default: cores).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
B=${1:-$here/build}
targets=()
if (($# > 1)); then targets=(--target "${@:2}"); fi
bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$B" -G Ninja -DCMAKE_BUILD_TYPE=${KX_BUILD_TYPE:-RelWithDebInfo} \
  ${KX_CMAKE_ARGS:-} >/dev/null
cmake --build "$B" -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" "${targets[@]}"
