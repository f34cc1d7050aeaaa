#!/bin/bash
# run.sh [ARGS...]: installs what is missing, builds Kaptorix (the program, its modules and helper
# processes; not the tests and benchmarks), and starts it in the tray.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/build.sh" "$here/build" kaptorix-runtime
exec "$here/build/app/kaptorix" "$@"
