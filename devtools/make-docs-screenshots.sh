#!/bin/sh
# Makes the README's pictures under docs/ from the developer modes, so they never go stale:
# the editor with annotations, the history, the settings, the frame styles and the demo image,
# from --snapshot-ui and --render-demo in private folders (English), scaled down.
#   devtools/make-docs-screenshots.sh [build-dir]
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
bin=$build/app/kaptorix
out=$repo/docs
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

mkdir -p "$work/config/Kaptorix" "$out"
printf '[General]\nlanguage=en\n' >"$work/config/Kaptorix/Kaptorix.conf"
run() {
    env -u DISPLAY -u QT_QPA_PLATFORM -u KAPTORIX_DATA_DIR \
        XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" HOME="$work" "$bin" "$@" >/dev/null 2>&1
}
run --snapshot-ui "$work/shots"
run --render-demo "$work/shots/demo.png"

# name in the snapshot folder, name under docs/, width at most
for row in editor-arrow:editor:780 history:history:760 settings-general:settings:760 \
    frames:frames:960 demo:demo:800; do
    from=${row%%:*}
    rest=${row#*:}
    to=${rest%%:*}
    width=${rest#*:}
    convert "$work/shots/$from.png" -resize "${width}x>" -strip -define png:compression-level=9 "$out/$to.png"
    echo "docs/$to.png"
done
