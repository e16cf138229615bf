#!/bin/bash
# Walks a small town against the test server in the desktop client under
# Xvfb and takes screenshots of the map column, for looking at by eye.
#
#   scripts/byeye_map.sh [OUT_DIR]
#
# Needs the desktop client and the test server built (TARNEL_BIN and
# TESTSERVER_BIN say where; the defaults are the helper build directory),
# Xvfb, xwd and python3.  Writes walk-*.png (whole screen), map-*.png (the
# map column, three times as large) and the xwd files into OUT_DIR
# (default /tmp/tarnel-byeye-map).  The walk: tests/data/byeye/map_walk.*
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-/tmp/tarnel-byeye-map}
client=${TARNEL_BIN:-$root/build/mapview-helper/tarnel}
server=${TESTSERVER_BIN:-$root/build/mapview-helper/testserver/tarnel-testserver}
display=${BYEYE_DISPLAY:-:57}
x11="python3 $root/scripts/byeye_x11.py"
data=$root/tests/data/byeye

mkdir -p "$out"
home=$(mktemp -d /tmp/tarnel-byeye-home.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$home"
}
trap cleanup EXIT

# The game speaks Windows-1251, and so do the client's profiles.
iconv -f UTF-8 -t CP1251 "$data/map_walk.script" > "$home/walk.script"
"$server" --port 0 --script "$home/walk.script" --once > "$home/server.out" 2> "$out/server.log" &
pids+=($!)
for _ in $(seq 50); do grep -q '^PORT' "$home/server.out" && break; sleep 0.1; done
port=$(awk '/^PORT/ {print $2}' "$home/server.out")

iconv -f UTF-8 -t CP1251 "$data/map_walk.tmc" > "$home/walk.tmc"
echo "/connect 127.0.0.1 $port" >> "$home/walk.tmc"
printf 'lastprofile=%s\r\n' "$home/walk.tmc" > "$home/TARNEL.ini"

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset > "$out/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
sleep 0.5

(cd "$home" && TARNEL_HOME="$home" exec "$client") > "$out/client.log" 2>&1 &
pids+=($!)
sleep 3

shot() {
  xwd -root -silent -display "$display" > "$out/$1.xwd"
  $x11 png "$out/$1.xwd" "$out/walk-$1.png"
}

# Up to the bell tower, a look there, then on to the cellar and back.
for step in e e s w n n u; do $x11 type "$step"; sleep 0.7; done
shot tower
for step in d s s d; do $x11 type "$step"; sleep 0.7; done
shot cellar
$x11 type u
sleep 1
shot final

# The map column: the window's right part.  MAP_CROP="X Y W H" overrides.
read -r cx cy cw ch <<< "${MAP_CROP:-764 18 260 262}"
for name in tower cellar final; do $x11 png "$out/$name.xwd" "$out/map-$name.png" "$cx" "$cy" "$cw" "$ch" 2; done

# The pointer over a room (HOVER="X Y" in screen pixels; the default is
# the square east of the current room in the window the client opens
# without a window manager), then the room editor opened with "E"
# (EDITOR_BUTTON="X Y").  Between the two a Shift-click on Ворота, two
# steps away (WALK_TO="X Y"): the client sends the way, the server answers
# both steps and the map follows.
read -r hx hy <<< "${HOVER:-908 150}"
$x11 move "$hx" "$hy"
sleep 0.5
shot hover
read -r wx wy <<< "${WALK_TO:-874 132}"
$x11 shiftclick "$wx" "$wy"
sleep 1.5
shot walked
read -r ex ey <<< "${EDITOR_BUTTON:-1011 280}"
$x11 click "$ex" "$ey"
sleep 0.5
$x11 move "$hx" "$hy"
sleep 0.5
shot editor
for name in hover walked editor; do $x11 png "$out/$name.xwd" "$out/map-$name.png" "$cx" "$cy" "$cw" "$ch" 2; done
echo "screenshots in $out"
