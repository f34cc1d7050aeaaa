#!/bin/bash
# build.sh [BUILD_DIR]: installs what is missing, configures and builds everything with Ninja.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
B=${1:-$here/build}
bash "$here/scripts/install-deps.sh"
cmake -S "$here" -B "$B" -G Ninja -DCMAKE_BUILD_TYPE=${KX_BUILD_TYPE:-RelWithDebInfo} \
  ${KX_CMAKE_ARGS:-} >/dev/null
cmake --build "$B" -j "$(nproc)"
