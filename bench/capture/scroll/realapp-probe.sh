#!/bin/bash
# realapp-probe.sh PAGE BROWSER RUNS OUT: scrolling capture through the real program, as a user
# runs it, on the shared pages (KX_PAGES, default /work/shared/pages/scroll; see its README.md).
# Run it inside scripts/desktop-session.sh:
#
#   KX_APP=/path/to/build/app/kaptorix bash scripts/desktop-session.sh \
#     bash bench/capture/scroll/realapp-probe.sh lazy firefox 5 /tmp/probe
#
#   PAGE     lazy | table | spinner | late | blur
#   BROWSER  firefox (firefox-esr) | chromium
#   KX_APP   the program (default: build/app/kaptorix of this tree)
#
# Every run: a fresh browser with a fresh private profile, in a normal window of 1100x960 (not
# kiosk, not app mode), scrolling as the browser comes (smooth scrolling on); the only settings
# keep it quiet and off the network (first-run pages, updates, reports; Firefox's proxies point
# at the discard port of loopback, Chromium's too). The page is served from loopback. The
# program is started once per probe with KAPTORIX_LOG_NOTICES and its own history folder.
#   lazy     open, wait 3 s, 6 wheel notches down 150 ms apart, wait 2 s, Ctrl+Home, wait 1.5 s;
#            Ctrl+Alt+5, drag over the page area, Auto-scroll
#   table    open, Ctrl+Home, Ctrl+Alt+5, drag over the page area, Auto-scroll
#   late     lazy.html with each photo's source 1.5-3 s after it shows (no fade), by hand as
#            spinner below, after a wait of 3.5 s for the first photos (KX_MODE=auto: as table)
#   blur     lazy.html with blur-up photos: first a 30x15 copy scaled up and blurred, the photo
#            300-900 ms after it shows, cross-fading in over 0.4 s; wait 3.5 s, then as table
#   spinner  by hand: Ctrl+Alt+5, drag, the first wheel notch 0.9 s after the HUD shows, 20
#            notches 0.5 s apart, then Return
# The drag covers the page area from its top left corner to its bottom, and leaves the
# scroll bar out: it ends 20 px left of the page area's right edge (for a classic scroll bar,
# 20 px left of the bar). KX_SCROLLBAR=in: it ends at the page area's right edge, scroll bar
# (Chromium's classic one, Firefox's overlay one) in; the check compares the page's columns.
# Waits are for conditions (window mapped, page painted and still, overlay, HUD, the history
# entry written) with generous time-outs; the waits above are the scenario's own.
#
# The truth: the same browser, headless, at the page area's layout width (the window's page
# area less a classic scroll bar) and 16000 px tall, screenshots the page (for lazy a copy with
# every photo's src set directly, since a headless screenshot does not run the page's
# IntersectionObserver for photos below the first screen). realapp-check.py compares.
#
# Prints one line per run and "PAGE BROWSER: N of M whole". Keeps in OUT: PAGE-BROWSER-N.png
# (the result), PAGE-BROWSER-N.notices (the program's notices in that run), truth-PAGE-BROWSER.png.
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/firefox-profile.sh"
PAGE=$1; BROWSER=$2; RUNS=$3; OUT=$4
TAG="$PAGE $BROWSER${KX_SCROLLBAR:+ scroll-bar-$KX_SCROLLBAR}"
APP=${KX_APP:-$HERE/../../../build/app/kaptorix}
PAGES=${KX_PAGES:-/work/shared/pages/scroll}
CHECK="python3 $HERE/realapp-check.py"
case $PAGE in lazy|table|spinner|late|blur) ;; *) echo "PAGE: lazy, table, spinner, late or blur" >&2; exit 2 ;; esac
case $BROWSER in firefox|chromium) ;; *) echo "BROWSER: firefox or chromium" >&2; exit 2 ;; esac
[ -x "$APP" ] || { echo "no program at $APP (KX_APP)" >&2; exit 2; }
[ -n "${DISPLAY:-}" ] || { echo "run inside scripts/desktop-session.sh" >&2; exit 2; }
mkdir -p "$OUT"
W=$(mktemp -d /tmp/kx-realapp.XXXXXX)
SRV=""; KX=""; BR=""
stop() {  # PID: its process group (each started with setsid), then the process
  [ -n "$1" ] || return 0
  kill -TERM -- "-$1" 2>/dev/null || kill -TERM "$1" 2>/dev/null
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || break; sleep 0.05; done
  kill -KILL -- "-$1" 2>/dev/null; kill -KILL "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}
trap 'stop "$BR"; stop "$KX"; stop "$SRV"; rm -rf "$W"' EXIT
trap 'exit 130' INT TERM
log() { echo "  [$PAGE $BROWSER] $*" >&2; }

# waitfor SECONDS CMD...: CMD until it succeeds, every 0.1 s
waitfor() {
  local t=$1; shift
  local end=$(( $(date +%s%N) + t * 1000000000 ))
  while ! "$@"; do
    [ "$(date +%s%N)" -lt "$end" ] || return 1
    sleep 0.1
  done
}

# --- the pages, the photos (the README's command), the truth copy of lazy
cp "$PAGES"/*.html "$W/"
mkdir -p "$W/img"
for i in $(seq 0 15); do convert -size 600x300 -seed $((i + 7)) plasma: "$W/img/p$i.png"; done
sed 's/ data-src=/ src=/g' "$W/lazy.html" > "$W/lazy-truth.html"
# late: the same gallery, each photo's source 1.5 to 3 s after it shows
sed -e 's/<title>lazy</<title>late</' -e 's/setTimeout(()=>{im.src=im.dataset.src},300)/setTimeout(()=>{im.src=im.dataset.src},1500+[...document.images].indexOf(im)*617%1500)/' \
  "$W/lazy.html" > "$W/late.html"
grep -q '1500+' "$W/late.html" || { echo "late.html: the timer of lazy.html was not found" >&2; exit 2; }
# blur: the same gallery, each photo first a 30x15 copy of itself scaled up and blurred; the
# photo gets its source 300-900 ms after it shows and cross-fades in over 0.4 s once loaded
for i in $(seq 0 15); do convert "$W/img/p$i.png" -resize 30x15! "$W/img/t$i.png"; done
python3 - "$W/lazy.html" "$W/blur.html" <<'PY'
import re, sys
s = open(sys.argv[1]).read()
s = s.replace('<title>lazy<', '<title>blur<')
s = s.replace('.ph img{display:block}', '.ph{position:relative}.ph img{display:block;position:absolute;left:0;top:0}'
              '.ph img.lq{filter:blur(8px)}.ph img.hq{opacity:0;transition:opacity .4s}.ph{overflow:hidden}')
s = re.sub(r"<img data-src='img/p(\d+).png' width=600 height=300>",
           r"<img class=lq src='img/t\1.png' width=600 height=300><img class=hq data-src='img/p\1.png' width=600 height=300>", s)
s = s.replace("setTimeout(()=>{im.src=im.dataset.src},300)",
              "im.onload=()=>{im.style.opacity=1};setTimeout(()=>{im.src=im.dataset.src},300+[...document.images].indexOf(im)*211%600)")
assert s.count('class=hq') == 30 and 'onload' in s
open(sys.argv[2], 'w').write(s)
PY
( cd "$W" && exec setsid python3 -u -m http.server 0 --bind 127.0.0.1 > "$W/http.log" 2>&1 ) &
SRV=$!
port() { PORT=$(sed -n 's/.*port \([0-9]*\).*/\1/p' "$W/http.log" | head -1); [ -n "$PORT" ]; }
waitfor 20 port || { echo "the page server did not start"; exit 1; }
URL="http://127.0.0.1:$PORT/$PAGE.html"

# --- the program, as the desktop tests start it: its own history folder, notices on stderr
HIST=$W/history
mkdir -p "$XDG_CONFIG_HOME/Kaptorix"
printf '[General]\nfirstRunDone=true\nafter.editor=false\n' > "$XDG_CONFIG_HOME/Kaptorix/Kaptorix.conf"
KAPTORIX_DATA_DIR=$HIST KAPTORIX_LOG_NOTICES=1 QT_QPA_PLATFORM=xcb setsid "$APP" > "$W/app.out" 2> "$W/app.log" &
KX=$!
kx_window() { xdotool search --onlyvisible --classname kaptorix >/dev/null 2>&1; }
waitfor 60 kx_window || { echo "the program showed no window (tray icon): $(tail -3 "$W/app.log")"; exit 1; }
log "program $APP running (pid $KX)"

entries() { python3 -c "import json,sys; print(len(json.load(open(sys.argv[1]))))" "$HIST/index.json" 2>/dev/null || echo 0; }
newest() { python3 -c "import json,sys; e=json.load(open(sys.argv[1]))[0]; print(e['id'], e.get('kind',''))" "$HIST/index.json"; }

# A visible program window at least 1080 tall (the overlay), or named NAME.
overlay_shown() {
  local id
  for id in $(xdotool search --onlyvisible --classname kaptorix 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null)" || continue
    [ "${HEIGHT:-0}" -ge 1080 ] && return 0
  done
  return 1
}
hud_shown() {
  HUD=$(xdotool search --onlyvisible --name '^Kaptorix Scrolling Capture$' 2>/dev/null | head -1)
  [ -n "$HUD" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$HUD")"
  HX=$X; HY=$Y; HW=$WIDTH; HH=$HEIGHT
  [ "$HH" -gt 20 ]
}

# --- the browser
start_browser() {  # RUN
  local prof=$W/profile-$1
  case $BROWSER in
  firefox)
    write_firefox_profile "$prof" default
    setsid firefox-esr --no-remote --new-instance --profile "$prof" "$URL" > "$W/browser.log" 2>&1 &
    BR=$!
    TITLE="^$PAGE — Mozilla Firefox\$" ;;
  chromium)
    setsid chromium --no-sandbox --user-data-dir="$prof" --no-first-run --password-store=basic \
      --no-default-browser-check --disable-background-networking --disable-component-update \
      --proxy-server=127.0.0.1:9 --window-size=1100,960 --window-position=40,40 "$URL" \
      > "$W/browser.log" 2>&1 &
    BR=$!
    TITLE="^$PAGE - Chromium\$" ;;
  esac
  browser_window() { FW=$(xdotool search --onlyvisible --name "$TITLE" 2>/dev/null | head -1); [ -n "$FW" ]; }
  waitfor 90 browser_window || { log "no browser window: $(tail -3 "$W/browser.log")"; return 1; }
  if [ "$BROWSER" = firefox ]; then
    xdotool windowsize --sync "$FW" 1100 960 windowmove --sync "$FW" 40 40
  fi
  xdotool windowactivate --sync "$FW" 2>/dev/null
  # painted and still: the page area found (white at its left edge), two grabs of its first
  # 100 rows (above the spinner) alike
  painted() {
    # the window's own area on the screen (xwininfo's absolute corner; no frame)
    local c
    read -r wx wy ww wh < <(xwininfo -id "$FW" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
      /^ *Width:/{w=$NF} /^ *Height:/{h=$NF} END{print x, y, w, h}')
    c=$($CHECK content "$wx" "$wy" "$ww" "$wh") || return 1
    read -r CX CY CW CH SB <<< "$c"
    [ "$CH" -gt 600 ] || return 1
    $CHECK grab "$CX" "$CY" "$((CW - SB))" 100 "$W/g1.rgb"
    sleep 0.3
    $CHECK grab "$CX" "$CY" "$((CW - SB))" 100 "$W/g2.rgb"
    $CHECK same "$W/g1.rgb" "$W/g2.rgb"
  }
  waitfor 60 painted || { log "the page never stood still"; return 1; }
  if [ "$BROWSER" = chromium ]; then
    # Chromium run as root (--no-sandbox) shows an infobar over the page whose shadow covers
    # the page's first rows; closed with its close button as a user would, when there is one.
    local x
    if x=$($CHECK dark $((wx + ww - 90)) $((CY - 70)) 80 62); then
      local before=$CY
      xdotool mousemove $x click 1
      log "closed the infobar above the page (its close button at $x)"
      grown() { painted && [ "$CY" -lt "$before" ]; }
      waitfor 20 grown || log "the page area did not grow after the infobar was closed"
    fi
  fi
  cp "$W/g2.rgb" "$W/top.rgb"
  log "window $FW page area ${CW}x${CH}+${CX}+${CY} scroll bar ${SB} px"
}

# Ctrl+Alt+5, the drag over the page area, the HUD; tried again (Escape first) up to 3 times.
select_area() {
  SX0=$CX; SY0=$CY; SY1=$((CY + CH - 1))
  if [ "${KX_SCROLLBAR:-out}" = in ]; then SX1=$((CX + CW - 1)); else SX1=$((CX + CW - SB - 21)); fi
  local attempt
  for attempt in 1 2 3; do
    xdotool key ctrl+alt+5
    if waitfor 15 overlay_shown; then
      xdotool mousemove "$SX0" "$SY0" mousedown 1 mousemove $(((SX0 + SX1) / 2)) $(((SY0 + SY1) / 2)) \
        mousemove "$SX1" "$SY1" mouseup 1
      if waitfor 15 hud_shown; then
        HUD_AT=$(date +%s.%N)
        return 0
      fi
    fi
    log "no HUD after Ctrl+Alt+5 and the drag (attempt $attempt)"
    xdotool key Escape
    sleep 1
  done
  return 1
}

# A strip of the selection away from the HUD, to see the page move, and to point the wheel at.
strip() {
  STX=$((SX0 + 20)); STW=400; STH=200; STY=$((SY0 + 20))
  if [ $((STY + STH)) -gt "$HY" ] && [ "$STY" -lt $((HY + HH)) ] && [ $((STX + STW)) -gt "$HX" ] && [ "$STX" -lt $((HX + HW)) ]; then
    STY=$((SY1 - 20 - STH))
  fi
}

auto_scroll() {
  strip
  $CHECK grab "$STX" "$STY" "$STW" "$STH" "$W/before.rgb"
  local attempt b
  for attempt in 1 2 3; do
    b=$($CHECK blue "$HX" "$HY" "$HW" "$HH") || { log "no blue button on the HUD"; sleep 0.5; continue; }
    xdotool mousemove $b click 1
    moved() { $CHECK grab "$STX" "$STY" "$STW" "$STH" "$W/now.rgb"; ! $CHECK same "$W/before.rgb" "$W/now.rgb"; }
    # the page moves, or the capture is over already (an entry written)
    if waitfor 10 moved || [ "$(entries)" -gt "$N0" ]; then
      return 0
    fi
    log "the page did not move after Auto-scroll was clicked (attempt $attempt)"
  done
  return 1
}

by_hand() {
  strip
  xdotool mousemove $((STX + STW / 2)) $((STY + STH / 2))
  # the first notch 0.9 s after the HUD showed
  local now wait
  now=$(date +%s.%N)
  wait=$(awk -v a="$HUD_AT" -v b="$now" 'BEGIN{w = 0.9 - (b - a); printf "%.3f", w < 0 ? 0 : w}')
  sleep "$wait"
  xdotool click --repeat 20 --delay 500 5
  xdotool key Return
}

truth() {
  TRUTH=$OUT/truth-$PAGE-$BROWSER.png
  [ -s "$TRUTH" ] && [ "$(cat "$OUT/truth-$PAGE-$BROWSER.width" 2>/dev/null)" = "$LW" ] && return 0
  local src=$PAGE
  case $PAGE in lazy|late|blur) src=lazy-truth ;; esac
  rm -f "$TRUTH"
  case $BROWSER in
  firefox)
    write_firefox_profile "$W/truth-profile" default
    firefox-esr --headless --no-remote --new-instance --profile "$W/truth-profile" --screenshot "$TRUTH" \
      --window-size="$LW,16000" "http://127.0.0.1:$PORT/$src.html" > "$W/truth.log" 2>&1 ;;
  chromium)
    chromium --headless --no-sandbox --user-data-dir="$W/truth-profile" --no-first-run --password-store=basic \
      --no-default-browser-check --disable-background-networking --disable-component-update \
      --proxy-server=127.0.0.1:9 --hide-scrollbars --screenshot="$TRUTH" --window-size="$LW,16000" \
      "http://127.0.0.1:$PORT/$src.html" > "$W/truth.log" 2>&1 ;;
  esac
  rm -rf "$W/truth-profile"
  [ -s "$TRUTH" ] || { log "no truth screenshot: $(tail -3 "$W/truth.log")"; return 1; }
  echo "$LW" > "$OUT/truth-$PAGE-$BROWSER.width"
}

whole=0; done_runs=0
for i in $(seq "$RUNS"); do
  RES=$OUT/$PAGE-$BROWSER${KX_SCROLLBAR:+-sb$KX_SCROLLBAR}-$i
  rm -f "$RES.png" "$RES.notices"
  if ! start_browser "$i"; then
    echo "$TAG run $i: NOT RUN (browser)"; stop "$BR"; BR=""; continue
  fi
  LW=$((CW - SB))
  xdotool mousemove $((CX + CW / 2)) $((CY + CH / 2))
  case $PAGE in
  lazy)
    sleep 3
    xdotool click --repeat 6 --delay 150 5
    sleep 2
    xdotool key ctrl+Home
    sleep 1.5
    $CHECK grab "$CX" "$CY" "$LW" 100 "$W/home.rgb"
    $CHECK same "$W/top.rgb" "$W/home.rgb" || log "after Ctrl+Home the page's first 100 rows differ from those after loading" ;;
  table)
    xdotool key ctrl+Home ;;
  late|blur)
    sleep 3.5 ;;
  esac
  N0=$(entries)
  L0=$(wc -l < "$W/app.log")
  t0=$(date +%s.%N)
  if ! select_area; then
    echo "$TAG run $i: NOT RUN (no HUD)"; stop "$BR"; BR=""; continue
  fi
  if [ "$PAGE" = spinner ] || { [ "$PAGE" = late ] && [ "${KX_MODE:-}" != auto ]; }; then
    by_hand
  elif ! auto_scroll; then
    echo "$TAG run $i: FAILED (Auto-scroll did not start)"; xdotool key Escape; stop "$BR"; BR=""; continue
  fi
  written() { [ "$(entries)" -gt "$N0" ] && read -r ID KIND < <(newest) && identify "$HIST/$ID.png" >/dev/null 2>&1; }
  if ! waitfor 300 written; then
    echo "$TAG run $i: FAILED (no result written in 300 s) $(tail -n +$((L0 + 1)) "$W/app.log" | grep '^notice:' | tr '\n' ' ')"
    xdotool key Escape; stop "$BR"; BR=""; continue
  fi
  secs=$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN{printf "%.1f", b - a}')
  cp "$HIST/$ID.png" "$RES.png"
  VIEW=()
  if [ "$PAGE" = spinner ] || { [ "$PAGE" = late ] && [ "${KX_MODE:-}" != auto ]; }; then
    # where the page stood when the capture ended: the page is expected down to that view's bottom
    # (the size the program takes for the drag: its end point's row and column are left out)
    import -silent -window root -crop "$((SX1 - SX0))x$((SY1 - SY0))+$SX0+$SY0" +repage "$RES-lastview.png"
    VIEW=(--view "$RES-lastview.png")
  fi
  sleep 0.5  # notices that come with the result
  tail -n +$((L0 + 1)) "$W/app.log" | grep '^notice' > "$RES.notices"
  tail -n +$((L0 + 1)) "$W/app.log" > "$RES.applog"
  notices=$(grep '^notice:' "$RES.notices" | sed 's/^notice: //' | tr '\n' ';')
  stop "$BR"; BR=""
  truth || { echo "$TAG run $i: result $RES.png, NOT CHECKED (no truth)"; continue; }
  line=$($CHECK check "$PAGE" "$RES.png" "$TRUTH" "${VIEW[@]}")
  case $line in WHOLE*) whole=$((whole + 1)) ;; esac
  done_runs=$((done_runs + 1))
  echo "$TAG run $i: $line secs=$secs kind=$KIND image=$RES.png notices: ${notices:-none}"
done
echo "$TAG: $whole of $done_runs whole (of $RUNS runs asked)"
