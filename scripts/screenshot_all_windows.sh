#!/bin/sh
# All three windows on the simulated board after Write Settings and Read All, under
# Xvfb, as the README shows them.
set -eu
BIN=${1:-build/app/glimmora}
OUT=${2:-docs/screenshots/all-windows.png}
# shellcheck source=xvfb_session.sh
. "$(dirname "$0")/xvfb_session.sh"
mkdir -m 700 "$work/xdg"
start_xvfb 1920x1080x24
cat >"$work/session.gls" <<'GLS'
click cbWritesettings
click cbShowi2c
click Glimmora_i2c.cbReadall
GLS
XDG_RUNTIME_DIR="$work/xdg" XDG_STATE_HOME="$work/state" GLIMMORA_USB=sim "$BIN" --run "$work/session.gls" >"$work/out" 2>&1 &
started $!
registers="Glimmora QXB40218 USB interface i2c"
wait_for 30 'the window "Simulated board"' xwininfo -name "Simulated board"
wait_for 30 "the register window" xwininfo -name "$registers"
sleep 1.5
# pos TITLE: "X Y WIDTH HEIGHT" of the window.
pos() { xwininfo -name "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Height/ {h=$NF} /Width/ {w=$NF} END {print x, y, w, h}'; }
read -r rx ry rw rh <<POS
$(pos "$registers")
POS
read -r _ sy _ sh <<POS
$(pos "Simulated board")
POS
right=$((rx + rw + 8)); [ "$right" -gt 1920 ] && right=1920
bottom=$((sy + sh)); [ $((ry + rh)) -gt "$bottom" ] && bottom=$((ry + rh))
bottom=$((bottom + 8)); [ "$bottom" -gt 1080 ] && bottom=1080
top=$sy; [ "$ry" -lt "$top" ] && top=$ry
import -window root -crop "${right}x$((bottom - top))+0+$top" +repage "$OUT"
echo "saved $OUT (${right}x$bottom)"
