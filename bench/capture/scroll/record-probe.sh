#!/bin/bash
# record-probe.sh KIND RUNS OUT: run inside scripts/desktop-session.sh (KX_SCREENS=640x480x24 for
# the browser kinds), with firefox-esr, xterm, less and man installed (none is a dependency of
# the build; this bench is not run by CI), and ScrollRecorder built in $KX_BUILD (default
# build-scroll).
#
# Real captures through the real session (grabs, XTest wheel, settling), each recorded as the
# folder the replay test reads (OUT-N/calls.txt, the frames, result.png):
#   footer spinner banners lazy   Firefox ESR in kiosk mode: a fixed footer with a short drop
#                                 shadow, a CSS spinner in the first screen, three pulsing
#                                 banners, photos that get their source 300 ms after they show
#   less lesshand man             xterm (alternateScroll) with less -M and a "lines a-b/N" prompt,
#                                 auto; the same scrolled by hand with the pointer resting on
#                                 the status line; man bash, auto
# Prints one line per run; check the images with the replay test's checks (status lines once,
# no placeholder grey, no grey in the page's white margins).
set -u
. "$(dirname "$0")/firefox-profile.sh"
KIND=$1; RUNS=$2; OUT=$3
R=${KX_BUILD:-$(cd "$(dirname "$0")/../../.." && pwd)/build}/bench/capture/scroll/ScrollRecorder
W=$(mktemp -d); mkdir -p $W/ff
APP=""
trap 'kill $APP 2>/dev/null; wait 2>/dev/null; rm -rf $W' EXIT

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

python3 - "$KIND" > $W/page.html <<'PY'
import random, sys
kind = sys.argv[1]
random.seed(11)
words = ("the of and a to in is was for on that with as by at from his her it an were are which this be or had not "
         "but have they one you all their has been more when there can who would will so no if out up about into "
         "than them some time only other new its could these two may then first any like now my over such our man").split()
def para(n):
    return " ".join(" ".join(random.choice(words) for _ in range(random.randint(6, 14))).capitalize() + "." for _ in range(n))
body = []
for i in range(1, 31):
    if i % 5 == 1: body.append(f"<h2>Section {i // 5 + 1}</h2>")
    body.append(f"<p>{i}. {para(random.randint(2, 4))}</p>")
    if kind == "spinner" and i == 2: body.append('<div class="spin"></div>')
    if kind == "banners" and i in (2, 9, 17): body.append(f'<div class="pulse">Banner {i}: limited offer</div>')
    if kind == "lazy" and i % 3 == 0:
        body.append(f'<figure><img class="lazy" data-h="{(i * 47) % 360}" width="320" height="120" alt=""><figcaption>Photo {i}: caption under the photo</figcaption></figure>')
css = ("html,body{margin:0;background:#fff} body{font:15px/1.5 'DejaVu Serif',serif;color:#222}"
       "main{margin:0 40px 0 60px;padding:8px 0 60px}"  # white margins either side
       "h2{color:#134;font:bold 18px 'DejaVu Sans',sans-serif}"
       ".spin{width:28px;height:28px;border:4px solid #ddd;border-top-color:#1565c0;border-radius:50%;animation:r 0.8s linear infinite}"
       "@keyframes r{to{transform:rotate(360deg)}}"
       ".pulse{background:#c62828;color:#fff;padding:10px;font:bold 15px 'DejaVu Sans';animation:p 1.2s steps(4) infinite}"
       "@keyframes p{50%{background:#ef9a9a}}"
       "img.lazy{display:block;background:#888888}"
       "figure{margin:8px 0}")
foot = ""
if kind == "footer":
    css += ("footer{position:fixed;bottom:0;left:0;right:0;height:40px;background:#333;color:#eee;display:flex;"
            "align-items:center;padding:0 24px;font:14px 'DejaVu Sans';box-shadow:0 -2px 6px rgba(0,0,0,.35)}")
    foot = "<footer>Fixed footer</footer>"
js = """
function t(){document.title='Probe %s H='+document.documentElement.scrollHeight+' V='+innerHeight;}
addEventListener('load',t); addEventListener('resize',t);
var io=new IntersectionObserver(function(es){es.forEach(function(e){if(!e.isIntersecting)return;var im=e.target;io.unobserve(im);
 setTimeout(function(){var c=document.createElement('canvas');c.width=320;c.height=120;var x=c.getContext('2d');var h=+im.dataset.h;
 for(var k=0;k<320;k+=8){x.fillStyle='hsl('+((h+k)%%360)+',70%%,'+(35+k%%40)+'%%)';x.fillRect(k,0,8,120);}
 im.src=c.toDataURL();},300);});});
document.querySelectorAll('img.lazy').forEach(function(i){io.observe(i);});
""" % kind
print(f"<!doctype html><html><head><meta charset=utf-8><title>Probe {kind}</title><style>{css}</style></head>"
      f"<body><main><h1 style=\"font:bold 22px 'DejaVu Sans'\">Probe page: {kind}</h1>{''.join(body)}<p>THE END.</p></main>{foot}<script>{js}</script></body></html>")
PY
write_firefox_profile $W/ff false 'user_pref("widget.gtk.overlay-scrollbars.enabled", false);'
firefox-esr --no-remote --new-instance --profile $W/ff --kiosk "file://$W/page.html" >$W/ff.log 2>&1 &
APP=$!
for _ in $(seq 600); do FW=$(xdotool search --name "Probe $KIND" 2>/dev/null | head -1); [ -n "$FW" ] && break; sleep 0.1; done
[ -n "${FW:-}" ] || { echo "no Firefox window"; exit 1; }
sleep 3
for i in $(seq $RUNS); do
  xdotool windowactivate --sync $FW; xdotool key ctrl+Home
  [ "$KIND" = lazy ] && { xdotool key F5; sleep 2; xdotool key ctrl+Home; }  # photos not loaded yet
  sleep 1.5
  eval $(xdotool getwindowgeometry --shell $FW)
  xdotool mousemove $((X + 300)) $((Y + 200))
  # The viewport less the classic scroll bar at the right.
  rm -rf $OUT-$i
  echo "run $i $(xdotool getwindowname $FW) $($R $X $Y $((WIDTH - 16)) $HEIGHT $OUT-$i 2>/dev/null)"
done
