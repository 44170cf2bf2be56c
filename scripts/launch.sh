#!/usr/bin/env bash
# Starts the stand-in CAD with the sample drawing and the viewer with the sample layer
# list. Called by run.sh after the build ($KORVEL_BUILD, programs in $KORVEL_BUILD/bin).
#
# Without a display everything runs on a private Xvfb (:99) and a private session bus;
# a screenshot of the screen is written to ./screenshot.png and both programs are
# stopped again. With a display the viewer runs until the user closes it; the CAD
# stays open, as it does on the desktop.
set -euo pipefail

KORVEL_ROOT="${KORVEL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
KORVEL_BUILD="${KORVEL_BUILD:-$KORVEL_ROOT/build}"
BIN="$KORVEL_BUILD/bin"
SCREENSHOT="${KORVEL_SCREENSHOT:-$PWD/screenshot.png}"
DRAWING="$KORVEL_ROOT/samples/plan.dxf"
LAYER_LIST="$KORVEL_ROOT/samples/layers.csv"

for f in "$BIN/cadhost" "$BIN/tarnix"; do
  [ -x "$f" ] || { echo "launch: $f has not been built" >&2; exit 1; }
done
for f in "$DRAWING" "$LAYER_LIST"; do
  [ -f "$f" ] || { echo "launch: sample $f is missing" >&2; exit 1; }
done

started_pids=()
cleanup() {
  # Last started first: the viewer and the CAD go before the X server they draw on.
  local i pid
  for ((i = ${#started_pids[@]} - 1; i >= 0; i--)); do
    pid="${started_pids[$i]}"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ -n "${KORVEL_OWN_BUS_PID:-}" ]; then
    kill "$KORVEL_OWN_BUS_PID" 2>/dev/null || true
  fi
}

# D-Bus activation starts the CAD when the viewer asks for one that is not running.
services="${XDG_DATA_HOME:-$HOME/.local/share}/dbus-1/services"
mkdir -p "$services"
cat >"$services/AutoCAD.Application.service" <<SERVICE
[D-BUS Service]
Name=AutoCAD.Application
Exec=$BIN/cadhost
SERVICE

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
fi

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  eval "$(dbus-launch --sh-syntax)"
  export DBUS_SESSION_BUS_ADDRESS
  KORVEL_OWN_BUS_PID="$DBUS_SESSION_BUS_PID"
fi
# The bus re-reads service folders on request; a bus that ran before the file existed
# learns about it here.
dbus-send --session --type=method_call --dest=org.freedesktop.DBus /org/freedesktop/DBus \
  org.freedesktop.DBus.ReloadConfig >/dev/null 2>&1 || true

trap cleanup EXIT

if [ "$headless" -eq 1 ]; then
  Xvfb :99 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  started_pids+=($!)
  export DISPLAY=:99
  for _ in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  xdpyinfo >/dev/null 2>&1 || { echo "launch: Xvfb did not start" >&2; exit 1; }
fi
export QT_QPA_PLATFORM=xcb

name_owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:AutoCAD.Application 2>/dev/null |
    grep -q 'boolean true'
}

if ! name_owned; then
  # On a bare X server nothing places windows: keep the CAD beside the viewer, not under it.
  cad_geometry=()
  [ "$headless" -eq 1 ] && cad_geometry=(-geometry 500x700+770+0)
  "$BIN/cadhost" "${cad_geometry[@]}" "$DRAWING" &
  cad_pid=$!
  [ "$headless" -eq 1 ] && started_pids+=("$cad_pid")
  for _ in $(seq 1 100); do
    name_owned && break
    sleep 0.1
  done
  name_owned || { echo "launch: cadhost did not take its bus name" >&2; exit 1; }
fi

# The refresh writes the per-layer pictures shortly before it fills the tiles; a slow
# machine gets up to a minute for that before the screenshot is taken anyway.
wait_for_layer_pictures() {
  local _
  for _ in $(seq 1 600); do
    compgen -G "$BIN/LAYER/*.wmf" >/dev/null && return 0
    sleep 0.1
  done
  echo "launch: no layer pictures after a minute; taking the screenshot anyway" >&2
}

if [ "$headless" -eq 1 ]; then
  # The screenshot should show the whole window arrangement, so a first headless run
  # opens the viewer larger than its first-start size; saved positions are kept.
  if [ ! -s "$BIN/TARNIX.ini" ]; then
    printf '[WMFPosi]\nleft=0\ntop=0\nwidth=11400\nheight=14800\n' >"$BIN/TARNIX.ini"
  fi
  rm -rf "$BIN/LAYER"
  "$BIN/tarnix" "$LAYER_LIST" &
  started_pids+=($!)
  wait_for_layer_pictures
  sleep "${KORVEL_SETTLE_SECONDS:-2}"
  import -window root "$SCREENSHOT"
  echo "launch: screenshot written to $SCREENSHOT"
else
  "$BIN/tarnix" "$LAYER_LIST" &
  viewer=$!
  sleep "${KORVEL_SETTLE_SECONDS:-6}"
  import -window root "$SCREENSHOT" || true
  wait "$viewer"
fi
