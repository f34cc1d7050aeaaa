#!/bin/bash
# run.sh [ARGS...]: installs what is missing, builds, and starts Kaptorix.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/build.sh" "$here/build"
if [ ! -x "$here/build/app/kaptorix" ]; then
  echo "Kaptorix itself (the tray application) is not part of this build yet; the libraries and tests are." >&2
  exit 1
fi
exec "$here/build/app/kaptorix" "$@"
