#!/bin/bash
# run.sh [ARGS...]: installs what is missing, builds, and starts Kaptorix in the tray.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/build.sh" "$here/build"
exec "$here/build/app/kaptorix" "$@"
