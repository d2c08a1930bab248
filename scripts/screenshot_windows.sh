#!/bin/sh
# glimmora.exe under Wine, on the simulated board after Write Settings, with the
# Simulated board window beside it, as the README shows it. Run after
# scripts/ci_windows.sh (it reuses its build and Wine prefix).
set -eu
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-win}
OUT=${1:-docs/screenshots/windows.png}
WINE=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
export WINEPREFIX="${WINEPREFIX:-$(pwd)/$build/wine}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
printf 'click cbWritesettings\n' >"$work/write.gls"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
app=""
trap 'kill $app 2>/dev/null; wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
while [ ! -s "$work/display" ]; do sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
# A window manager, so that the windows have their frames and places.
if command -v openbox >/dev/null; then openbox >/dev/null 2>&1 & fi
GLIMMORA_USB=sim "$WINE" "$build/app/glimmora.exe" --run "$(winepath -w "$work/write.gls" 2>/dev/null || echo "$work/write.gls")" \
  >"$work/out" 2>&1 &
app=$!
i=0
until xwininfo -name "Simulated board" >/dev/null 2>&1 || [ $i -gt 300 ]; do sleep 0.2; i=$((i + 1)); done
sleep 3
import -window root "$OUT"
echo "saved $OUT"
