#!/bin/sh
# All three windows on the simulated board after Write Settings and Read All, under
# Xvfb, as the README shows them. Needs xdotool (apt-get install xdotool).
set -eu
BIN=${1:-build/app/glimmora}
OUT=${2:-docs/screenshots/all-windows.png}
work=$(mktemp -d)
mkdir -m 700 "$work/xdg"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill $app $xvfb 2>/dev/null; rm -rf "$work"' EXIT
while [ ! -s "$work/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
XDG_RUNTIME_DIR="$work/xdg" GLIMMORA_USB=sim "$BIN" >"$work/out" 2>&1 &
app=$!
until xwininfo -name "Simulated board" >/dev/null 2>&1; do sleep 0.1; done
until xwininfo -name "Glimmora QXB40218 USB Interface" >/dev/null 2>&1; do sleep 0.1; done
sleep 0.5
pos() { xwininfo -name "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Height/ {h=$NF} /Width/ {w=$NF} END {print x, y, w, h}'; }
set -- $(pos "Glimmora QXB40218 USB Interface"); mx=$1; my=$2; mh=$4
# Client area below the menu bar: the window is 360 pixels high without it.
cy=$((my + mh - 360))
xdotool mousemove $((mx + 276 + 43)) $((cy + 327 + 12)) click 1   # Write Settings
sleep 0.3
xdotool mousemove $((mx + 6 + 30)) $((cy + 327 + 12)) click 1     # Show i2c
until xwininfo -name "Glimmora QXB40218 USB interface i2c" >/dev/null 2>&1; do sleep 0.1; done
sleep 0.5
set -- $(pos "Glimmora QXB40218 USB interface i2c"); rx=$1; ry=$2; rw=$3; rh=$4
echo "register window at $rx,$ry ${rw}x$rh"
xdotool mousemove $((rx + 335)) $((ry + 579)) click 1   # Read All
sleep 0.5
set -- $(pos "Simulated board"); sx=$1; sy=$2; sw=$3; sh=$4
right=$((sx + sw + 8)); bottom=$((sy + sh)); [ $((ry + rh)) -gt $bottom ] && bottom=$((ry + rh))
bottom=$((bottom + 8)); [ $bottom -gt 1080 ] && bottom=1080
import -window root -crop "${right}x${bottom}+0+0" +repage "$OUT"
echo "saved $OUT (${right}x$bottom)"
