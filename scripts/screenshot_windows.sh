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
# shellcheck source=xvfb_session.sh
. scripts/xvfb_session.sh  # (the checkout is the working folder here)
# Wine's own processes end with the session too.
trap 'session_end; wineserver -k 2>/dev/null || true' EXIT
printf 'click cbWritesettings\n' >"$work/write.gls"
start_xvfb 1920x1080x24
# A window manager, so that the windows have their frames and places.
if command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 &
  started $!
fi
GLIMMORA_USB=sim "$WINE" "$build/app/glimmora.exe" --run "$(winepath -w "$work/write.gls" 2>/dev/null || echo "$work/write.gls")" \
  >"$work/out" 2>&1 &
started $!
# Wine's first start in a prefix is slow.
wait_for 60 'the window "Simulated board"' xwininfo -name "Simulated board"
sleep 3
import -window root "$OUT"
echo "saved $OUT"
