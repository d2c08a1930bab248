#!/bin/sh
# All three windows on the simulated board after Write Settings and Read All, under
# Xvfb, as the README shows them.
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
cat >"$work/session.gls" <<'GLS'
click cbWritesettings
click cbShowi2c
click Glimmora_i2c.cbReadall
GLS
XDG_RUNTIME_DIR="$work/xdg" XDG_STATE_HOME="$work/state" GLIMMORA_USB=sim "$BIN" --run "$work/session.gls" >"$work/out" 2>&1 &
app=$!
until xwininfo -name "Simulated board" >/dev/null 2>&1; do sleep 0.1; done
until xwininfo -name "Glimmora QXB40218 USB interface i2c" >/dev/null 2>&1; do sleep 0.1; done
sleep 1.5
pos() { xwininfo -name "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Height/ {h=$NF} /Width/ {w=$NF} END {print x, y, w, h}'; }
set -- $(pos "Glimmora QXB40218 USB interface i2c"); rx=$1; ry=$2; rw=$3; rh=$4
set -- $(pos "Simulated board"); sx=$1; sy=$2; sw=$3; sh=$4
right=$((rx + rw + 8)); [ $right -gt 1920 ] && right=1920
bottom=$((sy + sh)); [ $((ry + rh)) -gt $bottom ] && bottom=$((ry + rh))
bottom=$((bottom + 8)); [ $bottom -gt 1080 ] && bottom=1080
top=$sy; [ $ry -lt $top ] && top=$ry
import -window root -crop "${right}x$((bottom - top))+0+$top" +repage "$OUT"
echo "saved $OUT (${right}x$bottom)"
