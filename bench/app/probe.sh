#!/bin/bash
# probe.sh KAPTORIX [RUNS]: run inside scripts/desktop-session.sh. Times the real binary from the
# outside: XTest hot key -> image/png readable from CLIPBOARD by xclip, -> PNG in the history
# folder, -> entry in index.json; start -> icon in trayer; idle RSS; RSS after 1 and 100 captures
# (each once its writes and text recognitions are done); the poll's own floor (xclip reading a
# 1x1 PNG that another client serves). xdotool's default 12 ms key delay made it take ~50 ms to
# exit before the poll began; --delay 0 sends the chord at once.
set -u
K=$1; RUNS=${2:-20}
W=$(mktemp -d); mkdir -p $W/run $W/cfg/Kaptorix; chmod 700 $W/run
printf '[General]\nfirstRunDone=true\nafter.editor=false\nafter.preview=false\nplaySound=false\n' > $W/cfg/Kaptorix/Kaptorix.conf
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
# Polls CMD until it succeeds, at most 20 s (a lost key must not hang the run).
waitfor() {
  local t=$(date +%s)
  until eval "$1"; do
    if [ $(($(date +%s) - t)) -ge 20 ]; then echo "timeout: $1"; return 1; fi
  done
}
entries() { grep -o '"id"' $W/h/index.json 2>/dev/null | wc -l; }
pngs() { ls $W/h/*.png 2>/dev/null | wc -l; }
texts() { grep -o '"ocrText"' $W/h/index.json 2>/dev/null | wc -l; }
# Until every entry has its recognised text (at most $1 s), then a moment for the last frees.
recognised() { for _ in $(seq $(($1 * 10))); do [ $(texts) -ge $(entries) ] && break; sleep 0.1; done; sleep 1; }
rss() { awk '/VmRSS/ {print int($2/1024)}' /proc/$1/status; }
s=$(date +%s%N)
XDG_RUNTIME_DIR=$W/run XDG_CONFIG_HOME=$W/cfg KAPTORIX_DATA_DIR=$W/h "$K" 2>/dev/null &
P=$!
until xwininfo -root -tree | grep -q '("kaptorix" "Kaptorix")  22x22'; do :; done
echo "start_to_icon_ms $(ms $s)"
sleep 2; echo "idle_rss_MB $(rss $P)"
for i in $(seq $RUNS); do
  xclip -selection clipboard -i /dev/null
  n=$(entries); p=$(pngs)
  s=$(date +%s%N); xdotool key --delay 0 ctrl+alt+2
  waitfor 'xclip -selection clipboard -t image/png -o 2>/dev/null | head -c 4 | grep -q PNG' || continue; c=$(ms $s)
  waitfor '[ $(pngs) -gt $p ]'; f=$(ms $s)
  waitfor '[ $(entries) -gt $n ]'; x=$(ms $s)
  echo "capture clipboard_ms $c history_png_ms $f index_ms $x"
  [ $i = 1 ] && recognised 60 && echo "rss_after_1_MB $(rss $P)"
done
for i in $(seq $((RUNS + 1)) 100); do n=$(entries); xdotool key --delay 0 ctrl+alt+2; waitfor '[ $(entries) -gt $n ]'; done
s=$(date +%s%N); recognised 600; echo "recognitions_done_after_ms $(ms $s) texts $(texts)/$(entries)"
echo "rss_after_100_MB $(rss $P)"
printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0\x90wS\xde\0\0\0\x0cIDATx\x9cc\xf8\xff\xff?\0\x05\xfe\x02\xfe\xa7\x35\x81\x84\0\0\0\0IEND\xaeB`\x82' > $W/dot.png
xclip -selection clipboard -t image/png -i $W/dot.png
for i in $(seq 5); do
  s=$(date +%s%N)
  until xclip -selection clipboard -t image/png -o 2>/dev/null | head -c 4 | grep -q PNG; do :; done
  echo "floor_ms $(ms $s)"
done
kill $P; wait $P; rm -rf $W
