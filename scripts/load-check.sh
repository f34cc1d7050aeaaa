#!/bin/bash
# load-check.sh [BUILD_DIR] [ROUNDS]: runs the desktop and servers tests ROUNDS times (default 2)
# with `ctest -j$(nproc)` while one busy loop per core competes for the CPU, then prints which
# tests failed in which round. Exits non-zero if any test failed in any round. Run it before you
# stop: a test that assumes timing fails here, not in CI. Builds nothing; build first.
# KX_LOAD_LABELS overrides the labels (a ctest -L regex, default "desktop|servers");
# KX_LOAD_ARGS adds ctest arguments (e.g. "-R AppDesktopTest").
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
B=$(cd "${1:-$here/build}" 2>/dev/null && pwd) || { echo "no build folder: ${1:-$here/build}" >&2; exit 2; }
rounds=${2:-2}
labels=${KX_LOAD_LABELS:-desktop|servers}
[ -f "$B/CTestTestfile.cmake" ] || { echo "$B is not a configured build folder" >&2; exit 2; }

cores=$(nproc)
busy=()
stop_busy() {
  local p
  for p in "${busy[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${busy[@]}"; do wait "$p" 2>/dev/null; done
  busy=()
}
trap stop_busy EXIT
trap 'exit 130' INT TERM
for ((i = 0; i < cores; i++)); do
  bash -c 'while :; do :; done' &
  busy+=($!)
done
echo "load-check: $cores busy loops (PIDs ${busy[*]}), labels '$labels', $rounds rounds, load $(cut -d' ' -f1-3 /proc/loadavg)"

log=$(mktemp -d "${TMPDIR:-/tmp}/kx-load-check.XXXXXX")
summary=()
failed_any=0
for ((r = 1; r <= rounds; r++)); do
  echo "=== round $r of $rounds ($(date -u +%T), load $(cut -d' ' -f1-3 /proc/loadavg))"
  (cd "$B" && ctest -L "$labels" -j "$cores" --output-on-failure --timeout 900 ${KX_LOAD_ARGS:-}) \
    >"$log/round$r.log" 2>&1
  rc=$?
  # "The following tests FAILED:" lists "  12 - Name (Failed)" lines.
  fails=$(sed -n '/The following tests FAILED:/,$p' "$log/round$r.log" |
    sed -n 's/^[[:space:]]*[0-9]\+ - \([^ ]*\) (\(.*\))$/\1 (\2)/p')
  grep -E 'tests passed|Total Test time' "$log/round$r.log" | sed 's/^/  /'
  if [ "$rc" -ne 0 ]; then
    failed_any=1
    [ -n "$fails" ] || fails="ctest exited with $rc (see $log/round$r.log)"
    while IFS= read -r f; do summary+=("round $r: $f"); done <<<"$fails"
  fi
done
stop_busy

echo "=== summary ($rounds rounds, logs in $log)"
if [ "$failed_any" -eq 0 ]; then
  echo "no test failed"
  exit 0
fi
printf '%s\n' "${summary[@]}"
exit 1
