#!/bin/bash
# probe.sh KAPTORIX [RUNS]: run inside scripts/desktop-session.sh. Times the real binary from the
# outside: XTest hot key -> image/png readable from CLIPBOARD by xclip, -> PNG in the history
# folder, -> entry in index.json; start -> icon in trayer; idle RSS; RSS after 1 and 100 captures.
set -u
K=$1; RUNS=${2:-20}
W=$(mktemp -d); mkdir -p $W/run $W/cfg/Kaptorix; chmod 700 $W/run
printf '[General]\nfirstRunDone=true\nafter.editor=false\nafter.preview=false\nplaySound=false\n' > $W/cfg/Kaptorix/Kaptorix.conf
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
entries() { grep -o '"id"' $W/h/index.json 2>/dev/null | wc -l; }
rss() { awk '/VmRSS/ {print int($2/1024)}' /proc/$1/status; }
s=$(date +%s%N)
XDG_RUNTIME_DIR=$W/run XDG_CONFIG_HOME=$W/cfg KAPTORIX_DATA_DIR=$W/h "$K" 2>/dev/null &
P=$!
until xwininfo -root -tree | grep -q '("kaptorix" "Kaptorix")  22x22'; do :; done
echo "start_to_icon_ms $(ms $s)"
sleep 2; echo "idle_rss_MB $(rss $P)"
for i in $(seq $RUNS); do
  xclip -selection clipboard -i /dev/null
  s=$(date +%s%N); xdotool key ctrl+alt+2
  until xclip -selection clipboard -t image/png -o 2>/dev/null | head -c 4 | grep -q PNG; do :; done; c=$(ms $s)
  until [ $(ls $W/h/*.png 2>/dev/null | wc -l) -ge $i ]; do :; done; f=$(ms $s)
  until [ $(entries) -ge $i ]; do :; done; x=$(ms $s)
  echo "capture clipboard_ms $c history_png_ms $f index_ms $x"
  [ $i = 1 ] && sleep 2 && echo "rss_after_1_MB $(rss $P)"
done
for i in $(seq $((RUNS + 1)) 100); do n=$(entries); xdotool key ctrl+alt+2; until [ $(entries) -gt $n ]; do :; done; done
sleep 5; echo "rss_after_100_MB $(rss $P)"
kill $P; wait $P; rm -rf $W
