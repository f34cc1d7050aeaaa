#!/bin/bash
# generate.sh KAPTORIX_BINARY
#
# Rebuilds the help pictures: runs the snapshot mode (the one shooting path) once per
# interface language, without a display as the unit tests run it, and keeps the pictures the
# help pages name, as JPEG (quality 88, text stays sharp) under help/pictures/<lang>/.
# DevModesTest checks that every committed picture is still what the snapshot mode makes.
set -eu
BIN=$(realpath "$1")
HERE=$(cd "$(dirname "$0")" && pwd)
NAMES="settings-general settings-shortcuts settings-capture settings-upload settings-ai
       editor-arrow editor-magnifier editor-ai backdrop-popover frames preview palette pin history icon-tip"
for LANG_CODE in en de hu; do
  WORK=$(mktemp -d /tmp/kx-help-pictures.XXXXXX)
  mkdir -p "$WORK/config/Kaptorix"
  printf '[General]\nlanguage=%s\n' "$LANG_CODE" >"$WORK/config/Kaptorix/Kaptorix.conf"
  (cd "$WORK" && env -u DISPLAY -u QT_QPA_PLATFORM -u KAPTORIX_DATA_DIR -u WAYLAND_DISPLAY HOME="$WORK" \
    XDG_CONFIG_HOME="$WORK/config" XDG_DATA_HOME="$WORK/data" XDG_CACHE_HOME="$WORK/cache" \
    XDG_STATE_HOME="$WORK/state" "$BIN" --snapshot-ui "$WORK/shots" >/dev/null 2>&1) || true
  mkdir -p "$HERE/$LANG_CODE"
  for NAME in $NAMES; do
    if [ -f "$WORK/shots/$NAME.png" ]; then
      convert "$WORK/shots/$NAME.png" -background white -flatten -quality 88 "$HERE/$LANG_CODE/$NAME.jpg"
    else
      echo "missing: $LANG_CODE/$NAME" >&2
    fi
  done
  rm -rf "$WORK"
done
