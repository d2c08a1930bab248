#!/bin/sh
# The register window as the README shows it: register 0x02 watched (its
# value changed a moment ago), row 0x01 selected with its bits and fields
# below the rows, described by the example file of the decode test. Under
# Xvfb with openbox, on the simulated board.
#   scripts/screenshot_register_bits.sh [BIN] [OUT] [WIDTHxHEIGHT]
set -eu
cd "$(dirname "$0")/.."
BIN=${1:-build/app/glimmora}
OUT=${2:-docs/screenshots/register-bits-watch.png}
SIZE=${3:-1920x1080}
# shellcheck source=xvfb_session.sh
. scripts/xvfb_session.sh
mkdir -m 700 "$work/xdg"
start_xvfb "${SIZE}x24"
openbox --sm-disable >"$work/wm.log" 2>&1 &
started $!
registers="Glimmora QXB40218 USB interface i2c"
cat >"$work/open.gls" <<'GLS'
click cbShowi2c
click Glimmora_i2c.cbWatch(2)
click Glimmora_i2c.cbReadall
set Glimmora_i2c.tbI2Creg(1) 05
wait 800
board reg 2 01
wait 6000
GLS
XDG_RUNTIME_DIR="$work/xdg" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config" GLIMMORA_USB=sim \
  "$BIN" --registers tests/cli/scripts/decode_registers.files/regs.json --run "$work/open.gls" >"$work/out" 2>&1 &
started $!
wait_for 30 "the register window" xwininfo -name "$registers"
sleep 1.5
id=$(xdotool search --name "^$registers\$" | head -1)
xdotool windowactivate --sync "$id"
x=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {print $NF}')
y=$(xwininfo -id "$id" | awk '/Absolute upper-left Y/ {print $NF}')
# Into the write box of row 0x01: the row is selected.
xdotool mousemove $((x + 170)) $((y + 80)) click 1
sleep 1
import -window "$id" "$OUT"
echo "$OUT"
