#!/bin/bash
# open-peak.sh KAPTORIX BENCH_IMAGE_READING: run inside scripts/desktop-session.sh. The peak
# resident memory (VmHWM) of the tray process that opens one file at launch, for each file of
# bench_image_reading (written into a temporary folder, removed at the end: the 16384² PNG, opaque
# and half transparent, a small PNG with 500 MB of text chunk, a 16384² HEIC of one colour and a
# HEIC bomb): the read, the
# history's PNG and thumbnail, and the editor showing the image zoomed to fit, or the toast of a
# refused file. A fresh process for each file; its peak is read once the history has the image
# and the editor window is mapped (or the toast is), and again 5 s later. Beside it the peak of
# its recognition process (kaptorix-recognizer, which reads the history's text), read while that
# process lives: it ends on its own once the image is read.
# Then the image at the pixel limit filled with text (limit-text.png) opened while the history
# still reads a capture of a screen of text taken as the file was read, so that the image's own
# reading waits until its PNG is written: the tray's peak 20 s after the capture's text is in,
# when the image's own reading has begun (its text itself takes a long time, so its recognition
# process is not waited for).
set -u
K=$1; B=$2
W=$(mktemp -d); trap 'rm -rf "$W"' EXIT
echo "load $(cut -d' ' -f1-3 /proc/loadavg)"
KX_BENCH_DIR=$W/files "$B" --benchmark_filter='BM_Open16384SquarePng|BM_Open16384SquareTextPng|BM_OpenPngWith|BM_OpenHeic/16384|BM_RefuseHeicBomb' || exit 1
hwm() { awk '/VmHWM/ {print int($2/1024)}' /proc/$1/status; }
# The recognition process of tray $1 (its child), if it runs.
recognizer() { for c in $(pgrep -P "$1"); do [ "$(cat /proc/$c/comm 2>/dev/null)" = kaptorix-recogn ] && echo $c; done; }
# Keeps in RPEAK the highest VmHWM seen of the recognition process.
RPEAK=0
watchrec() {
  local c h
  c=$(recognizer $P); [ -n "$c" ] || return 0
  h=$(hwm $c 2>/dev/null); [ -n "$h" ] && [ "$h" -gt $RPEAK ] && RPEAK=$h
  return 0
}
# Polls CMD until it succeeds, at most $2 s.
waitfor() {
  local t=$(date +%s)
  until watchrec; eval "$1"; do
    [ $(($(date +%s) - t)) -ge $2 ] && { echo "timeout: $1"; return 1; }
    sleep 0.2
  done
}
for f in limit.png limit-translucent.png text.png square-16384.heic bomb.heic; do
  rm -rf $W/run $W/cfg $W/h
  mkdir -p $W/run $W/cfg/Kaptorix; chmod 700 $W/run
  printf '[General]\nfirstRunDone=true\nplaySound=false\n' > $W/cfg/Kaptorix/Kaptorix.conf
  XDG_RUNTIME_DIR=$W/run XDG_CONFIG_HOME=$W/cfg KAPTORIX_DATA_DIR=$W/h "$K" "$W/files/$f" 2>/dev/null &
  P=$!
  RPEAK=0
  if [ $f = bomb.heic ]; then
    waitfor "xdotool search --onlyvisible --pid $P >/dev/null 2>&1" 120
  else
    waitfor "xdotool search --onlyvisible --name 'Kaptorix — ' >/dev/null 2>&1 && ls $W/h/*.png >/dev/null 2>&1 && grep -q '\"id\"' $W/h/index.json 2>/dev/null" 300
  fi
  a=$(hwm $P)
  t=$(date +%s); while [ $(($(date +%s) - t)) -lt 5 ]; do watchrec; sleep 0.2; done
  echo "tray_peak_mb $f $a, after 5 s more $(hwm $P)"
  # The recognition process, until it has read the image and ended (a small image's may have come
  # and gone unseen: 0).
  [ $RPEAK -gt 0 ] && waitfor "[ -z \"\$(recognizer $P)\" ]" 300
  echo "recognizer_peak_mb $f $RPEAK, tray after it $(hwm $P)"
  kill $P; wait $P 2>/dev/null
done

# A capture taken while limit-text.png is read, of a screen of text (its reading outlasts the
# image's PNG write).
for i in $(seq 60); do
  printf -- '-rw-r--r-- 1 user staff %6d Dec %2d 10:%02d report_%03d.log pid=%5d cpu=%d.%d%% mem=%d.%dM state=S, read by the history\n' \
    $((i * 7919 % 999983)) $((i % 28 + 1)) $((i % 60)) $i $((1000 + i * 37)) $((i % 9)) $((i % 10)) $((i * 3)) $((i % 10))
done > $W/screen.txt
convert -size 1920x1080 xc:'#1e1e1e' -font DejaVu-Sans-Mono -pointsize 13 -fill '#d8d8d8' -interline-spacing 4 \
  -annotate +6+16 "$(cat $W/screen.txt)" $W/screen.png && display -window root $W/screen.png
rm -rf $W/run $W/cfg $W/h
mkdir -p $W/run $W/cfg/Kaptorix; chmod 700 $W/run
printf '[General]\nfirstRunDone=true\nplaySound=false\n' > $W/cfg/Kaptorix/Kaptorix.conf
XDG_RUNTIME_DIR=$W/run XDG_CONFIG_HOME=$W/cfg KAPTORIX_DATA_DIR=$W/h "$K" "$W/files/limit-text.png" 2>/dev/null &
P=$!
RPEAK=0
until xwininfo -root -tree | grep -q '("kaptorix" "Kaptorix")'; do sleep 0.05; done
xdotool key --delay 0 ctrl+alt+2
waitfor "[ \$(grep -o '\"id\"' $W/h/index.json 2>/dev/null | wc -l) -ge 2 ]" 120
# The capture's text is in: the image's own reading starts then; its first bands are prepared
# within seconds.
waitfor "grep -q '\"ocrText\"' $W/h/index.json 2>/dev/null" 300
t=$(date +%s); while [ $(($(date +%s) - t)) -lt 20 ]; do watchrec; sleep 0.2; done
echo "tray_peak_mb limit-text.png with a capture of a text screen read meanwhile $(hwm $P), recognizer so far $RPEAK"
# KX_WAIT_TEXT=1: on until the image's text is in the history too (a quarter of an hour or more).
if [ -n "${KX_WAIT_TEXT:-}" ]; then
  waitfor "[ \$(grep -o '\"ocrText\"' $W/h/index.json 2>/dev/null | wc -l) -ge 2 ]" 10800 &&
    echo "text_of_limit-text.png_after_s $(($(date +%s) - t)) (from the capture's text), recognizer peak $RPEAK, tray $(hwm $P)"
fi
kill $P; wait $P 2>/dev/null
