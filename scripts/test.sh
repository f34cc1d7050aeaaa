#!/bin/bash
# test.sh: installs what is missing, builds, and runs the whole test suite (unit, desktop and
# server tests; each desktop test starts and stops its own Xvfb, window manager, D-Bus and keyring).
# KX_SANITIZE=1 builds with ASan+UBSan into build-asan instead.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${KX_SANITIZE:-0}" = 1 ]; then
  B=$here/build-asan; export KX_CMAKE_ARGS="-DKX_SANITIZE=ON -DKX_BUILD_BENCH=OFF"
  export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
else
  B=$here/build
fi
bash "$here/scripts/build.sh" "$B"
cd "$B"
ctest --output-on-failure -j "$(nproc)" --timeout 900 ${KX_CTEST_ARGS:-}
