#!/bin/sh
# Times every developer mode of the kaptorix binary on two cores, without a display (the frame
# test needs one: it runs inside the desktop harness), in private XDG folders.
#   bench/devtools/time-modes.sh [build-dir]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${1:-$repo/build}
bin=$build/app/kaptorix
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# One run of "$@" on cores 0 and 1; prints the wall time in seconds.
timed() {
    start=$(date +%s.%N)
    taskset -c 0,1 "$@" >"$work/out.txt" 2>/dev/null || { echo "failed: $*" >&2; cat "$work/out.txt" >&2; exit 1; }
    end=$(date +%s.%N)
    echo "$end - $start" | bc | awk '{printf "%.2f", $1}'
}

env_for() {
    mkdir -p "$work/$1/config/Kaptorix" "$work/$1/data"
    printf '[General]\nlanguage=%s\n' "$2" >"$work/$1/config/Kaptorix/Kaptorix.conf"
    echo "env -u DISPLAY -u QT_QPA_PLATFORM -u KAPTORIX_DATA_DIR XDG_CONFIG_HOME=$work/$1/config XDG_DATA_HOME=$work/$1/data"
}

printf '| mode | seconds | target |\n|---|---|---|\n'
printf '| --self-test | %s | 60 |\n' "$(timed $(env_for st en) "$bin" --self-test)"
printf '| --render-demo | %s | 30 |\n' "$(timed $(env_for rd en) "$bin" --render-demo "$work/demo.png")"
for lang in en de hu; do
    printf '| --snapshot-ui (%s) | %s | 30 |\n' "$lang" "$(timed $(env_for "snap-$lang" "$lang") "$bin" --snapshot-ui "$work/snap-$lang")"
done
printf '| --stress-settings | %s | – |\n' "$(timed $(env_for ss en) "$bin" --stress-settings)"
printf '| --frame-test (desktop harness) | %s | – |\n' \
    "$(timed "$repo/scripts/desktop-session.sh" env XDG_CONFIG_HOME="$work/ft" XDG_DATA_HOME="$work/ft" "$bin" --frame-test "$work/ft/out")"
