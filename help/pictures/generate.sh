#!/bin/bash
# generate.sh KAPTORIX_BINARY
#
# Rebuilds the help pictures: runs the snapshot mode (the one shooting path) once per
# interface language inside a private headless desktop and keeps the pictures the help
# pages name, as JPEG (quality 88, text stays sharp) under help/pictures/<lang>/.
set -eu
BIN=$(realpath "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
NAMES="settings-general settings-shortcuts settings-capture settings-upload settings-ai
       editor-arrow editor-magnifier editor-ai backdrop-popover frames preview palette pin history icon-tip"
for LANG_CODE in en de hu; do
  OUT=$(mktemp -d /tmp/kx-help-pictures.XXXXXX)
  "$ROOT/scripts/desktop-session.sh" bash -c '
    mkdir -p "$XDG_CONFIG_HOME/Kaptorix"
    printf "[General]\nlanguage=%s\n" "$1" > "$XDG_CONFIG_HOME/Kaptorix/Kaptorix.conf"
    "$2" --snapshot-ui "$3" >/dev/null' _ "$LANG_CODE" "$BIN" "$OUT" || true
  mkdir -p "$HERE/$LANG_CODE"
  for NAME in $NAMES; do
    if [ -f "$OUT/$NAME.png" ]; then
      convert "$OUT/$NAME.png" -background white -flatten -quality 88 "$HERE/$LANG_CODE/$NAME.jpg"
    else
      echo "missing: $LANG_CODE/$NAME" >&2
    fi
  done
  rm -rf "$OUT"
done
