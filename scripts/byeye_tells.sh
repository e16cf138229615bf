#!/bin/bash
# Tells from two players against the test server in the desktop client under
# Xvfb, for looking at the chat tabs, the query panel and an output window
# by eye.
#
#   scripts/byeye_tells.sh [OUT_DIR]
#
# Needs what scripts/byeye_map.sh needs.  Writes tells-*.png (whole screen),
# top-*.png (the upper left part, twice as large), the xwd files and
# sent.txt (what the client sent the server, in UTF-8) into OUT_DIR (default
# /tmp/tarnel-byeye-tells).  The session: tests/data/byeye/tells.*
#
# Positions in screen pixels, for the window the client opens without a
# window manager: TAB="X Y" the first chat tab, QUERY_INPUT="X Y" the query
# panel's input line (clicked before typing only when set), ANSWER the text
# typed there.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-/tmp/tarnel-byeye-tells}
client=${TARNEL_BIN:-$root/build/mapview-helper/tarnel}
server=${TESTSERVER_BIN:-$root/build/mapview-helper/testserver/tarnel-testserver}
display=${BYEYE_DISPLAY:-:58}
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

iconv -f UTF-8 -t CP1251 "$data/tells.script" > "$home/tells.script"
"$server" --port 0 --script "$home/tells.script" --record "$home/sent.bin" --once \
  > "$home/server.out" 2> "$out/server.log" &
pids+=($!)
for _ in $(seq 50); do grep -q '^PORT' "$home/server.out" && break; sleep 0.1; done
port=$(awk '/^PORT/ {print $2}' "$home/server.out")

iconv -f UTF-8 -t CP1251 "$data/tells.tmc" > "$home/tells.tmc"
echo "/connect 127.0.0.1 $port" >> "$home/tells.tmc"
printf 'lastprofile=%s\r\n' "$home/tells.tmc" > "$home/TARNEL.ini"

Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset > "$out/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
sleep 0.5

(cd "$home" && TARNEL_HOME="$home" exec "$client") > "$out/client.log" 2>&1 &
pids+=($!)

shot() {
  xwd -root -silent -display "$display" > "$out/$1.xwd"
  $x11 png "$out/$1.xwd" "$out/tells-$1.png"
  $x11 png "$out/$1.xwd" "$out/top-$1.png" 0 0 760 300 2
}

# The tells come about three seconds after the connection.
sleep 6
shot arrived
read -r tx ty <<< "${TAB:-30 31}"
$x11 click "$tx" "$ty"
sleep 0.7
shot opened
if [ -n "${QUERY_INPUT:-}" ]; then
  read -r qx qy <<< "$QUERY_INPUT"
  $x11 click "$qx" "$qy"
  sleep 0.3
fi
$x11 type "${ANSWER:-иду к тебе}"
sleep 1
shot answered

# An output window of its own, from the main command line.  The pointer
# leaves the window first so that a click is not needed to find the line.
read -r cx cy <<< "${COMMAND_LINE:-380 705}"
$x11 click "$cx" "$cy"
sleep 0.3
$x11 type "/textout log hello/crworld"
sleep 1
shot window
sleep 3
shot window-later
xwininfo -root -tree -display "$display" > "$out/windows.txt" 2>/dev/null || true

# What the client sent, from the server's record, in UTF-8.
cp "$home/sent.bin" "$out/sent.bin"
iconv -f CP1251 -t UTF-8 "$home/sent.bin" | tr '\r' '\n' | cat -v > "$out/sent.txt" || true
echo "screenshots in $out"
