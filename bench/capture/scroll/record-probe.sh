#!/bin/bash
# record-probe.sh KIND RUNS OUT: run inside scripts/desktop-session.sh (KX_SCREENS=640x480x24 for
# the browser kinds), with firefox-esr, xterm, less and man installed (none is a dependency of
# the build; this bench is not run by CI), and ScrollRecorder built in $KX_BUILD (default
# build-scroll).
#
# Real captures through the real session (grabs, XTest wheel, settling), each recorded as the
# folder the replay test reads (OUT-N/calls.txt, the frames, result.png):
#   footer spinner banners lazy lazyfresh canvas canvastall sticky
#                                 Firefox ESR in kiosk mode, as it comes (smooth scrolling on;
#                                 KX_SMOOTH=off turns it off), the pages of probe-page.py served
#                                 from loopback: a fixed footer with a short drop shadow, a CSS
#                                 spinner under the title, three pulsing banners, photos that
#                                 get their source 200-500 ms after they show (lazy: reloaded and
#                                 the first ones loaded; lazyfresh: captured right after the
#                                 reload), a canvas redrawn every frame (300 or 400 px tall), a
#                                 sticky table header whose text changes
#   photos photosfresh photosfade photosfadefresh shrink table fixedbg
#                                 the same at a usual window size (KX_SCREENS=1100x960x24):
#                                 photographs with grain in every row (600x300 to 960x540) that
#                                 load 200-500 ms after they show, first ones loaded or right after
#                                 a fresh load, with or without a 0.6 s fade (checked against the
#                                 photo files themselves: --truth); a sticky header that shrinks
#                                 with a transition; a plain-text table under a sticky header whose
#                                 text changes; text over a fixed background photo
#   article                       a plain article of text at the usual size, for the time a capture takes
#   less lesshand man journal     xterm (alternateScroll) with less -M and a "lines a-b/N" prompt,
#                                 auto; the same scrolled by hand with the pointer resting on
#                                 the status line; man bash, auto; a 2,000-line journal in less
#                                 as journalctl runs it, auto
# Prints one line per run. Browser runs are checked on the result (ScrollRecorder --check): the
# page's height (H=), every region that changes by itself as one recorded frame showed it (torn=),
# rows of photo placeholder grey, and for the table the header bands and the rows in order.
# Terminal runs: check the images with the replay test's checks (status lines once).
set -u
. "$(dirname "$0")/firefox-profile.sh"
KIND=$1; RUNS=$2; OUT=$3
R=${KX_BUILD:-$(cd "$(dirname "$0")/../../.." && pwd)/build}/bench/capture/scroll/ScrollRecorder
# KX_CHECKER: another ScrollRecorder for the checks (an older build records, this one checks).
C=${KX_CHECKER:-$R}
W=$(mktemp -d); mkdir -p $W/ff
APP=""; SRV=""
trap 'kill $APP $SRV 2>/dev/null; wait 2>/dev/null; rm -rf $W' EXIT

terminal() {  # GEOM HAND_SECONDS POINTER_PERCENT CMD...
  local geom=$1 hand=$2 at=$3; shift 3
  xterm -xrm 'XTerm*alternateScroll: true' -fa 'DejaVu Sans Mono' -fs 10 -geometry $geom+20+20 -title termprobe -e "$@" &
  APP=$!
  for _ in $(seq 100); do TW=$(xdotool search --name termprobe 2>/dev/null | head -1); [ -n "$TW" ] && break; sleep 0.1; done
  sleep 1.5
  eval $(xdotool getwindowgeometry --shell $TW)
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT * at / 100))
  if [ "$hand" != 0 ]; then
    $R $X $Y $WIDTH $HEIGHT $OUT-$i $hand &
    local rp=$!
    sleep 1
    for _ in $(seq 12); do xdotool click --repeat 3 --delay 30 5; sleep 0.4; done
    wait $rp
  else
    $R $X $Y $WIDTH $HEIGHT $OUT-$i
  fi
  kill $APP; wait $APP 2>/dev/null
}

case $KIND in
journal)
  # A 2,000-line system journal in less as journalctl pages it (LESS=FRSXMK), less -X and -F:
  # without the alternate screen xterm gives the wheel to its own scrollback.
  python3 -c "
import random
random.seed(7)
units='systemd[1] kernel NetworkManager[612] sshd[1042] cron[733] dbus-daemon[598] pulseaudio[1311]'.split()
msgs='Started Session of user. Reached target Timers. Accepted publickey for admin. link becomes ready. New connection. Stopped target Sound Card. Finished Cleanup of Temporary Directories.'.split('. ')
for i in range(2000): print(f'Dec 08 {8 + i // 3600:02d}:{i // 60 % 60:02d}:{i % 60:02d} probe {random.choice(units)}: {random.choice(msgs)} ({i + 1})')
" > $W/journal.txt
  printf '#!/bin/sh\nexec less -RSMK %s\n' $W/journal.txt > $W/pager.sh; chmod +x $W/pager.sh
  for i in $(seq $RUNS); do terminal 100x40 0 50 $W/pager.sh | sed "s/^/run $i /"; done
  exit 0 ;;
less|lesshand|man)
  python3 -c "
import random
random.seed(5)
w='alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu nu xi omicron pi rho sigma tau'.split()
for i in range(1,601): print(f'log row {i:4d}: ' + ' '.join(random.choice(w) for _ in range(random.randint(2,9))))
" > $W/log.txt
  printf '#!/bin/sh\nexec less -M "-PMlines %%lt-%%lb/%%L %%Pb\\%%$" %s\n' $W/log.txt > $W/pager.sh; chmod +x $W/pager.sh
  for i in $(seq $RUNS); do
    case $KIND in
      less) terminal 80x40 0 50 $W/pager.sh ;;
      lesshand) terminal 80x40 8 95 $W/pager.sh ;;
      man) terminal 80x40 0 50 man bash ;;
    esac | sed "s/^/run $i /"
  done
  exit 0 ;;
esac

python3 "$(dirname "$0")/probe-page.py" ${KIND%fresh} > $W/page.html
# Photographs with texture in every row: a plasma with grain, one seed each. KX_FIXTURE=1: the
# same plasmas in 24 colours without grain, still different in every row, so that recorded frames
# are small enough to keep as test fixtures (with KX_RECORD_CROP for ScrollRecorder).
for n in $(seq 0 14); do
  case $((n % 3)) in 0) size=600x300 ;; 1) size=800x400 ;; *) size=960x540 ;; esac
  if [ "${KX_FIXTURE:-0}" = 1 ]; then
    convert -seed $((n + 3)) -size $size plasma:fractal +dither -colors 24 -strip $W/photo-$n.png
  else
    convert -seed $((n + 3)) -size $size plasma:fractal -attenuate 0.4 +noise Gaussian -strip $W/photo-$n.png
  fi
done
# Served from loopback only, as a page from a server is (not file://).
python3 -u -m http.server 0 --bind 127.0.0.1 --directory $W > $W/http.log 2>&1 &
SRV=$!
for _ in $(seq 100); do PORT=$(sed -n 's/.*port \([0-9]*\).*/\1/p' $W/http.log | head -1); [ -n "$PORT" ] && break; sleep 0.1; done
# Firefox as users run it (smooth scrolling and scroll bars as it comes); KX_SMOOTH=off for the
# second row with smooth scrolling turned off.
write_firefox_profile $W/ff ${KX_SMOOTH:-default}
firefox-esr --no-remote --new-instance --profile $W/ff --kiosk "http://127.0.0.1:$PORT/page.html" >$W/ff.log 2>&1 &
APP=$!
K=${KIND%fresh}
for _ in $(seq 600); do FW=$(xdotool search --name "Probe $K" 2>/dev/null | head -1); [ -n "$FW" ] && break; sleep 0.1; done
[ -n "${FW:-}" ] || { echo "no Firefox window"; exit 1; }
sleep 3
for i in $(seq $RUNS); do
  xdotool windowactivate --sync $FW; xdotool key ctrl+Home
  case $KIND in
    lazy|photos|photosfade) xdotool key F5; sleep 3; xdotool key ctrl+Home; sleep 1.5 ;;  # the first photos loaded
    *fresh) sleep 1; xdotool key F5; sleep 0.3 ;;                                       # none loaded yet
    *) sleep 1.5 ;;
  esac
  eval $(xdotool getwindowgeometry --shell $FW)
  xdotool mousemove $((X + 300)) $((Y + 200))
  rm -rf $OUT-$i
  t0=$(date +%s.%N)
  line="$($R $X $Y $WIDTH $HEIGHT $OUT-$i 2>/dev/null) secs=$(awk -v a=$t0 -v b=$(date +%s.%N) 'BEGIN{printf "%.1f", b - a}')"
  title=$(xdotool getwindowname $FW)
  regions=$(echo "$title" | sed -n 's/.* R=\([^ ]*\).*/\1/p')
  echo "$title" > $OUT-$i/title.txt
  case $K in
    photos*) echo "run $i ${title%% R=*} $line $($C --truth $OUT-$i "${regions:-;}" $W)" ;;
    table|shrink) echo "run $i ${title%% R=*} $line $($C --check $OUT-$i ";") $($C --order $OUT-$i 0 100)" ;;
    *) echo "run $i ${title%% R=*} $line $($C --check $OUT-$i "${regions:-;}")" ;;
  esac
done
kill $SRV
