#!/bin/sh
# The program's windows on a screen of a given size, under Xvfb with the
# openbox window manager, on the simulated board: as it starts, with the
# register window open, and with the main window maximised and the log pane
# in view. Needs openbox and xdotool (apt-get install openbox xdotool).
#   scripts/screenshot_screens.sh [BIN] [WIDTHxHEIGHT] [OUT_PREFIX]
# writes OUT_PREFIX-start.png, OUT_PREFIX-register.png, OUT_PREFIX-maximised.png.
set -eu
BIN=${1:-build/app/glimmora}
SIZE=${2:-1920x1080}
PREFIX=${3:-docs/screenshots/screen-$SIZE}
# shellcheck source=xvfb_session.sh
. "$(dirname "$0")/xvfb_session.sh"
mkdir -m 700 "$work/xdg"
start_xvfb "${SIZE}x24"
openbox --sm-disable >"$work/wm.log" 2>&1 &
started $!
sleep 1
main="Glimmora QXB40218 USB Interface"
registers="Glimmora QXB40218 USB interface i2c"

# The program with its settings kept in the work folder; waits for `window`.
start() {
  XDG_RUNTIME_DIR="$work/xdg" XDG_STATE_HOME="$work/state" GLIMMORA_USB=sim "$BIN" "$@" >"$work/out" 2>&1 &
  app=$!
  started "$app"
}
waitfor() { wait_for 30 "the window \"$1\"" xwininfo -name "$1"; }

# As it starts.
start
waitfor "$main"
waitfor "Simulated board"
sleep 1.5
import -window root "$PREFIX-start.png"
stop "$app"

# The register window open, after Write Settings and Read All.
cat >"$work/open.gls" <<'GLS'
click cbWritesettings
click cbShowi2c
click Glimmora_i2c.cbReadall
GLS
start --run "$work/open.gls"
waitfor "$registers"
sleep 1.5
import -window root "$PREFIX-register.png"
stop "$app"

# The main window maximised (a double click on its title bar), a line in the
# log, and the focus on the log pane (Shift+Tab from the first box): the
# client area scrolls to show it.
cat >"$work/log.gls" <<'GLS'
board fail transfer 3
click cbWritesettings
board ok
GLS
start --run "$work/log.gls"
waitfor "$main"
waitfor "Simulated board"
sleep 1.5
id=$(xdotool search --name "^$main\$" | head -1)
xdotool windowactivate --sync "$id"
# xwininfo tells where the client area starts; the title bar is just above.
x=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {print $NF}')
y=$(xwininfo -id "$id" | awk '/Absolute upper-left Y/ {print $NF}')
xdotool mousemove $((x + 120)) $((y - 10))
sleep 0.2
xdotool click --repeat 2 --delay 60 1
sleep 1
xdotool windowactivate --sync "$id" key --delay 100 shift+Tab
sleep 1
import -window root "$PREFIX-maximised.png"
stop "$app"
echo "saved $PREFIX-start.png $PREFIX-register.png $PREFIX-maximised.png"
