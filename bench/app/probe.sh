#!/bin/bash
# probe.sh KAPTORIX [RUNS] [LINES]: run inside scripts/desktop-session.sh. Times the real binary from
# the outside: XTest hot key -> image/png readable from CLIPBOARD by xclip, -> PNG in the history
# folder, -> entry in index.json; start -> icon in trayer; the poll's own floor (xclip reading a
# 1x1 PNG that another client serves). And what the tray process costs: RSS idle, after 1, 10 and
# 100 captures (each once its writes and text recognitions are done) and 30 s after that; the CPU
# each capture costs in the background (the recognition process, and idle-class threads) and in all; a capture
# taken while background recognition runs against one taken at rest. Beside the RSS: how much of
# it is anonymous memory, mapped files and the heap, and what the recognised texts come to.
# BUSY=N in the environment: N processes spin on the cores at normal priority for the whole run (a
# loaded machine), and each capture at rest also gives hot key -> its text in index.json.
# LINES (default 24) lines of text are put on the root window so that recognition has work (0:
# the plain desktop; "terminals": four terminals of dense text, two by two, the densest screen
# measured). xdotool's default 12 ms key delay made it take ~50 ms to exit before the
# poll began; --delay 0 sends the chord at once.
set -u
K=$1; RUNS=${2:-20}; LINES=${3:-24}
TERMINALS=0
[ "$LINES" = terminals ] && TERMINALS=1 && LINES=0
[ "$RUNS" -ge 10 ] || RUNS=10
W=$(mktemp -d); mkdir -p $W/run $W/cfg/Kaptorix; chmod 700 $W/run
printf '[General]\nfirstRunDone=true\nafter.editor=false\nafter.preview=false\nplaySound=false\n' > $W/cfg/Kaptorix/Kaptorix.conf
echo "load $(cut -d' ' -f1-3 /proc/loadavg)"
if [ "$LINES" -gt 0 ] && command -v convert >/dev/null && command -v display >/dev/null; then
  # Lines of prose and figures on a light page, as the background of the root window.
  for i in $(seq $LINES); do
    echo "$i. Invoice 2026-$((i * 37)) for order $((4100 + i * 13)) was paid on time; the shipment left the harbour at 0$((i % 10)):$((10 + i % 50)) and arrives on Monday."
  done > $W/page.txt
  convert -size 1920x1080 xc:'#fafaf8' -font DejaVu-Sans -pointsize 14 -fill '#141414' \
    -interline-spacing 8 -annotate +24+40 "$(cat $W/page.txt)" $W/page.png && display -window root $W/page.png
  echo "text_lines_on_screen $LINES"
fi
if [ "$TERMINALS" = 1 ] && command -v convert >/dev/null && command -v display >/dev/null; then
  # Four 960x540 panes of monospaced shell output, light on dark, 36 lines of up to 110 characters each.
  panes=()
  for t in 1 2 3 4; do
    for i in $(seq 36); do
      printf -- '-rw-r--r-- 1 user staff %6d Dec %2d 10:%02d report_%03d_%d.log  pid=%5d cpu=%d.%d%% mem=%d.%dM state=S\n' \
        $((i * 7919 % 999983)) $((i % 28 + 1)) $((i * t % 60)) $i $t $((1000 + i * 37 * t)) $((i % 9)) $((t * i % 10)) $((i * 3 + t)) $((i % 10))
    done > $W/term$t.txt
    convert -size 960x540 xc:'#1e1e1e' -font DejaVu-Sans-Mono -pointsize 11 -fill '#d8d8d8' \
      -interline-spacing 1 -annotate +6+14 "$(cat $W/term$t.txt)" $W/term$t.png && panes+=($W/term$t.png)
  done
  # display exits with 1 even when the root window shows the page.
  convert \( ${panes[0]} ${panes[1]} +append \) \( ${panes[2]} ${panes[3]} +append \) -append +repage $W/page.png &&
    { display -window root $W/page.png; echo "four_terminals_on_screen $(cat $W/term*.txt | wc -l) lines"; }
fi
ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
# Polls CMD until it succeeds, at most 20 s or $2 s (a lost key must not hang the run).
waitfor() {
  local t=$(date +%s)
  until eval "$1"; do
    if [ $(($(date +%s) - t)) -ge ${2:-20} ]; then echo "timeout: $1"; return 1; fi
  done
}
entries() { grep -o '"id"' $W/h/index.json 2>/dev/null | wc -l; }
pngs() { ls $W/h/*.png 2>/dev/null | wc -l; }
texts() { grep -o '"ocrText"' $W/h/index.json 2>/dev/null | wc -l; }
# Until every entry has its recognised text (at most $1 s), then a moment for the last frees.
recognised() { for _ in $(seq $(($1 * 10))); do [ $(texts) -ge $(entries) ] && break; childrss; sleep 0.1; done; sleep 1; }
rss() { awk '/VmRSS/ {print int($2/1024)}' /proc/$1/status; }
# Where the tray's RSS is, in MB: the heap (brk), all anonymous memory (the heap, thread arenas,
# blocks glibc maps on their own, Qt's caches) and mapped files (libraries, fonts).
parts() { awk '/^Rss:/ {r = $2} /^Anonymous:/ {a = $2} END {printf "anonymous %.1f files %.1f", a / 1024, (r - a) / 1024}' /proc/$1/smaps_rollup
  awk '/\[heap\]/ {h = 1; next} h && /^Rss:/ {printf " heap %.1f\n", $2 / 1024; exit}' /proc/$1/smaps; }
# The history's text is read in a child process (kaptorix-recognizer) while there is some to read.
# One ps, not an awk per process: polled every 0.1 s, that took seconds on a busy machine.
child() { ps -o pid= --ppid $P; }
# CPU time of the whole process with its children, and of the background work (its threads in the
# batch CPU class, SCHED_BATCH = 3 (SCHED_IDLE = 5 before), and its children, live and ended), in ms.
cpu() { local c=0 k; for k in $(child); do c=$((c + $(awk '{sub(/.*\) /, ""); print $12 + $13}' /proc/$k/stat 2>/dev/null || echo 0))); done
  awk -v c=$c '{sub(/.*\) /, ""); print ($12 + $13 + $14 + $15 + c) * 10}' /proc/$P/stat; }
bgcpu() { local c=0 k; for k in $(child); do c=$((c + $(awk '{sub(/.*\) /, ""); print $12 + $13}' /proc/$k/stat 2>/dev/null || echo 0))); done
  { cat /proc/$P/task/*/stat 2>/dev/null | awk '{sub(/.*\) /, ""); if ($39 == 5 || $39 == 3) t += $12 + $13} END {print t + 0}'
    awk '{sub(/.*\) /, ""); print $14 + $15}' /proc/$P/stat; echo $c; } | awk '{t += $1} END {print t * 10}'; }
# The largest RSS a recognition child had when looked at, in MB.
CHILDMAX=0
childrss() { local k r; for k in $(child); do r=$(awk '/VmHWM/ {print int($2/1024)}' /proc/$k/status 2>/dev/null); [ -n "$r" ] && [ $r -gt $CHILDMAX ] && CHILDMAX=$r; done; }
median() { sort -n | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
# One capture; prints the clipboard, PNG and index times.
capture() {
  # xclip stays to serve the selection: with the $(capture) pipe as its output, a lost key
  # (nobody takes the selection from it) would hang the probe for good.
  xclip -selection clipboard -i /dev/null >/dev/null
  local n=$(entries) p=$(pngs) s c f
  s=$(date +%s%N); xdotool key --delay 0 ctrl+alt+2
  waitfor 'xclip -selection clipboard -t image/png -o 2>/dev/null | head -c 4 | grep -q PNG' || return 1; c=$(ms $s)
  waitfor '[ $(pngs) -gt $p ]'; f=$(ms $s)
  waitfor '[ $(entries) -gt $n ]'; x=$(ms $s)
  echo "$c $f $x"
}
SPIN=""
for i in $(seq ${BUSY:-0}); do sh -c 'while :; do :; done' & SPIN="$SPIN $!"; done
[ -n "$SPIN" ] && echo "busy_processes ${BUSY}"
s=$(date +%s%N)
XDG_RUNTIME_DIR=$W/run XDG_CONFIG_HOME=$W/cfg KAPTORIX_DATA_DIR=$W/h "$K" 2>/dev/null &
P=$!
until xwininfo -root -tree | grep -q '("kaptorix" "Kaptorix")  22x22'; do :; done
echo "start_to_icon_ms $(ms $s)"
sleep 2; IDLE=$(rss $P); echo "idle_rss_MB $IDLE ($(parts $P))"

# At rest: each capture once the previous one is recognised.
: > $W/rest
c0=$(cpu); b0=$(bgcpu)
for i in $(seq $RUNS); do
  s=$(date +%s%N)
  r=$(capture) || continue
  echo "capture clipboard_ms ${r%% *} history_png_ms $(echo $r | cut -d' ' -f2) index_ms ${r##* }"
  echo "$r" >> $W/rest
  if [ -n "$SPIN" ]; then
    waitfor '[ $(texts) -ge $(entries) ]' 300 && echo "text_ms $(ms $s)" | tee -a $W/text
  fi
  recognised 120
  [ $i = 1 ] && echo "rss_after_1_MB $(rss $P)"
  [ $i = 10 ] && echo "rss_after_10_MB $(rss $P)"
done
n=$(wc -l < $W/rest)
echo "cpu_per_capture_ms $(( ($(cpu) - c0) / n )) of_which_background_ms $(( ($(bgcpu) - b0) / n )) (at rest, $n captures; 1 s of idle waiting each)"
[ -s $W/text ] && echo "text_median_ms $(cut -d' ' -f2 $W/text | median) with ${BUSY} busy processes"
echo "at_rest_median clipboard_ms $(cut -d' ' -f1 $W/rest | median) history_png_ms $(cut -d' ' -f2 $W/rest | median)"

# While background recognition runs: a capture, then the next one once the recognition of the
# first is seen using CPU.
: > $W/busy
for i in $(seq $RUNS); do
  capture > /dev/null || continue
  b=$(bgcpu); t=$(date +%s)
  until [ $(bgcpu) -gt $b ] || [ $(($(date +%s) - t)) -ge 20 ]; do sleep 0.05; done
  [ $(texts) -lt $(entries) ] || continue  # it ended before the next capture: not counted
  r=$(capture) || continue
  echo "$r" >> $W/busy
  recognised 120
done
echo "while_recognising_median clipboard_ms $(cut -d' ' -f1 $W/busy | median) history_png_ms $(cut -d' ' -f2 $W/busy | median) ($(wc -l < $W/busy) captures)"

if [ -n "$SPIN" ]; then kill $SPIN; kill $P; wait $P; rm -rf $W; exit 0; fi
# A burst up to 100 captures, then its recognitions.
for i in $(seq $(($(entries) + 1)) 100); do n=$(entries); xdotool key --delay 0 ctrl+alt+2; waitfor '[ $(entries) -gt $n ]'; done
s=$(date +%s%N); recognised 1800; echo "recognitions_done_after_ms $(ms $s) texts $(texts)/$(entries)"
echo "rss_after_100_MB $(rss $P) ($(parts $P))"
sleep 29; echo "rss_30s_later_MB $(rss $P) (idle + $(( $(rss $P) - IDLE ))) ($(parts $P))"
# What the history's recognised texts come to: characters, and UTF-8 bytes (a QString holds 2 bytes a character).
python3 -c 'import json, sys; t = [e.get("ocrText", "") for e in json.load(open(sys.argv[1]))]; print("recognised_text %d entries %d characters %d UTF-8 bytes" % (len(t), sum(map(len, t)), sum(len(x.encode()) for x in t)))' $W/h/index.json
echo "recognition_process_peak_rss_MB $CHILDMAX (while it runs; running now: $(child | wc -l))"
printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0\x90wS\xde\0\0\0\x0cIDATx\x9cc\xf8\xff\xff?\0\x05\xfe\x02\xfe\xa7\x35\x81\x84\0\0\0\0IEND\xaeB`\x82' > $W/dot.png
xclip -selection clipboard -t image/png -i $W/dot.png
for i in $(seq 5); do
  s=$(date +%s%N)
  until xclip -selection clipboard -t image/png -o 2>/dev/null | head -c 4 | grep -q PNG; do :; done
  echo "floor_ms $(ms $s)"
done
echo "load $(cut -d' ' -f1-3 /proc/loadavg)"
kill $P; wait $P; rm -rf $W
