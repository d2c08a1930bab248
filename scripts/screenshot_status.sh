#!/bin/sh
# The status lines under Xvfb, as the README shows them: on the simulated board
# a Write Settings that timed out (main window) and a register the chip ignores,
# written with "Read back after write" (register window, its row marked).
set -eu
BIN=${1:-build/app/glimmora}
OUT=${2:-docs/screenshots/status-lines.png}
# shellcheck source=xvfb_session.sh
. "$(dirname "$0")/xvfb_session.sh"
mkdir -m 700 "$work/xdg"
cat >"$work/session.gls" <<'GLS'
board timeout 3
click cbWritesettings
board ok
click cbShowi2c
click Glimmora_i2c.cbVerify
board ignore 2
set Glimmora_i2c.tbI2Creg(2) 5
click Glimmora_i2c.cbWriteall
GLS
start_xvfb 1600x1000x24
XDG_RUNTIME_DIR="$work/xdg" GLIMMORA_USB=sim "$BIN" --run "$work/session.gls" >"$work/out" 2>&1 &
started $!
wait_for 30 "the register window" xwininfo -name "Glimmora QXB40218 USB interface i2c"
sleep 2
import -window root -crop 1010x700+0+0 +repage "$OUT"
echo "saved $OUT"
