#!/bin/bash
# desktop-session.sh CMD [ARGS...]
#
# Runs CMD inside a private headless desktop: Xvfb (1920x1080x24, or KX_SCREENS, e.g.
# "1920x1080x24 1280x1024x24" for several X screens), openbox (with KX_OPENBOX_RC as its
# configuration when set), trayer, a D-Bus session bus
# and an unlocked gnome-keyring (Secret Service), with HOME and the XDG folders in a
# temporary directory. Every service is started here and stopped by its PID when CMD ends,
# whatever its exit status. Exits with CMD's status, or 77 (skip) when no X server can be
# started on this machine.
set -u

need() { command -v "$1" >/dev/null 2>&1; }
if ! need Xvfb || ! need openbox || ! need dbus-daemon; then
  echo "SKIP: Xvfb, openbox or dbus-daemon is not installed; desktop test not run" >&2
  exit 77
fi

WORK=$(mktemp -d /tmp/kx-desktop.XXXXXX)
PIDS=()
cleanup() {
  local p
  for ((i=${#PIDS[@]}-1; i>=0; i--)); do kill "${PIDS[$i]}" 2>/dev/null; done
  for p in "${PIDS[@]}"; do
    for _ in $(seq 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.05; done
    kill -9 "$p" 2>/dev/null
  done
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/.config XDG_DATA_HOME=$WORK/home/.local/share
export XDG_CACHE_HOME=$WORK/home/.cache XDG_RUNTIME_DIR=$WORK/runtime
mkdir -p "$HOME/Pictures" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
unset KAPTORIX_DATA_DIR WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_SESSION_TYPE=x11

# --- X server: let it choose a free display number and tell us through a pipe. Servers
# started at the same moment by parallel tests race for one number, so starts are taken one
# at a time (a lock held until the server answers), and a failed start is retried.
exec 9>"${TMPDIR:-/tmp}/kx-xvfb-start.lock"
flock -w 120 9 || true
screens=(${KX_SCREENS:-1920x1080x24})
sargs=()
for i in "${!screens[@]}"; do sargs+=(-screen "$i" "${screens[$i]}"); done
dpy=""
# -noreset: otherwise the server resets, refusing connections for a moment, whenever its last
# client leaves (the readiness check below, before openbox is up).
for attempt in 1 2 3 4 5 6; do
  exec 3<> <(:)
  Xvfb -displayfd 3 "${sargs[@]}" -nolisten tcp -noreset +extension XTEST +extension MIT-SHM \
    >"$WORK/xvfb.log" 2>&1 3>&3 9>&- &
  xpid=$!
  for _ in $(seq 600); do
    if read -r -t 0.05 dpy <&3 && [ -n "$dpy" ]; then break; fi
    kill -0 "$xpid" 2>/dev/null || break
  done
  exec 3<&-
  if [ -n "$dpy" ]; then
    for _ in $(seq 600); do
      kill -0 "$xpid" 2>/dev/null || break
      DISPLAY=":$dpy" xdpyinfo >/dev/null 2>&1 && break
      sleep 0.05
    done
    if kill -0 "$xpid" 2>/dev/null && DISPLAY=":$dpy" xdpyinfo >/dev/null 2>&1; then
      PIDS+=($xpid)
      break
    fi
  fi
  kill "$xpid" 2>/dev/null; wait "$xpid" 2>/dev/null
  dpy=""
  sleep "0.$((RANDOM % 9 + 1))"
done
if [ -z "$dpy" ]; then
  echo "SKIP: Xvfb could not start: $(tail -3 "$WORK/xvfb.log")" >&2
  exit 77
fi
flock -u 9
exec 9>&-
export DISPLAY=":$dpy"

# --- D-Bus session bus and an unlocked keyring; the keyring must be unlocked before anything
# with DISPLAY set could ask for it, or its prompt would block the test forever.
dbus-daemon --session --nofork --nopidfile --address="unix:path=$XDG_RUNTIME_DIR/bus" \
  >"$WORK/dbus.log" 2>&1 &
PIDS+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
for _ in $(seq 600); do [ -S "$XDG_RUNTIME_DIR/bus" ] && break; sleep 0.05; done
if need gnome-keyring-daemon; then
  printf '%s' "kaptorix-test" | DISPLAY= gnome-keyring-daemon --foreground --unlock \
    --components=secrets >"$WORK/keyring.log" 2>&1 &
  PIDS+=($!)
  for _ in $(seq 600); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null \
      | grep -q 'boolean true' && break
    sleep 0.05
  done
fi

# --- window manager and tray host; the session is ready once the manager publishes the work
# area (tests place windows by it).
# A manager that exits or never publishes (seen once on a loaded machine) is started again,
# and its log shown, rather than leaving every test to time out without one.
for attempt in 1 2 3; do
  openbox --sm-disable ${KX_OPENBOX_RC:+--config-file "$KX_OPENBOX_RC"} >"$WORK/openbox.log" 2>&1 &
  wmpid=$!
  for _ in $(seq 1200); do
    kill -0 "$wmpid" 2>/dev/null || break
    xprop -root _NET_WORKAREA 2>/dev/null | grep -q '=' && break
    sleep 0.05
  done
  if kill -0 "$wmpid" 2>/dev/null && xprop -root _NET_WORKAREA 2>/dev/null | grep -q '='; then
    PIDS+=($wmpid)
    break
  fi
  echo "desktop-session: openbox not ready (attempt $attempt): $(tail -5 "$WORK/openbox.log")" >&2
  kill "$wmpid" 2>/dev/null; wait "$wmpid" 2>/dev/null
done
if need trayer; then
  trayer --edge bottom --align right --widthtype pixel --width 200 --height 24 \
    >"$WORK/trayer.log" 2>&1 &
  PIDS+=($!)
fi

"$@"
status=$?
exit $status
