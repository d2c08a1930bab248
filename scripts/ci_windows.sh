#!/bin/sh
# Cross-builds glimmora.exe and glimmora-cli.exe for Windows, with Qt and
# libusb built from Debian's sources (scripts/build_windows_deps.sh, cached
# outside the checkout), and tests them under Wine:
#   - every script test under tests/cli/scripts through glimmora-cli.exe (the
#     same expected transcripts; a NAME.win.out or NAME.win.err stands where
#     Windows words a failure its own way);
#   - the window's script play: `glimmora.exe --run SCRIPT --exit` on every
#     script that answers no file dialog, under Xvfb, standard output compared
#     with the same transcripts;
#   - glimmora-cli.exe --board usb with no board: a plain outcome, no crash.
# Then makes the ZIP package. BUILD_DIR may be given in the environment;
# GLIMMORA_WIN_DEPS names the cache of the two libraries.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
BUILD_DIR="${BUILD_DIR:-build-win}"
case "$BUILD_DIR" in
  /*) build="$BUILD_DIR" ;;
  *) build="$root/$BUILD_DIR" ;;
esac
started=$(date +%s)

deps=$(sh scripts/build_windows_deps.sh | tail -n 1)
echo "windows: libraries in $deps ($(($(date +%s) - started)) s)"

WINE=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# A prefix of the build's own, made once and reused by later runs.
export WINEPREFIX="${WINEPREFIX:-$build/wine}"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: the programs need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

# (CMAKE_EXTRA holds any number of options, one word each)
# shellcheck disable=SC2086
cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64.cmake \
  -DGLIMMORA_WIN_DEPS="$deps" -DCMAKE_BUILD_TYPE=Release -DGLIMMORA_WERROR=ON ${CMAKE_EXTRA:-} >/dev/null
cmake --build "$build" -j2 --target glimmora-cli glimmora
cli="$build/cli/glimmora-cli.exe"
gui="$build/app/glimmora.exe"
echo "windows: built ($(($(date +%s) - started)) s)"

# Only Windows' own DLLs: nothing of MinGW, Qt or libusb beside the programs.
for exe in "$cli" "$gui"; do
  foreign=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' |
    grep -viE '^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comdlg32|ws2_32|winmm|imm32|uxtheme|dwmapi|shcore|version|shlwapi|setupapi|netapi32|userenv|mpr|winspool\.drv|uuid|rpcrt4|crypt32|bcrypt|authz|wtsapi32|d3d9|d3d11|dxgi|dwrite|d2d1|cfgmgr32|msvcrt|ntdll|api-ms-win-.*)\.dll$' || true)
  if [ -n "$foreign" ]; then
    echo "windows: $(basename "$exe") needs DLLs that Windows does not ship: $foreign"
    exit 1
  fi
done

# Wine's first start is the slow part: one server for the whole run.
mkdir -p "$WINEPREFIX"
"$WINESERVER" -p 2>/dev/null || true  # (one may be running for this prefix already)
# An X server of the run's own for the window (scripts/xvfb_session.sh: it
# ends with the run, however the run ends).
# shellcheck source=xvfb_session.sh
. scripts/xvfb_session.sh
cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  session_end
}
trap cleanup EXIT
"$WINE" "$cli" --help >/dev/null 2>&1

failed=""
retry_silent_starts=""
run_one() {  # PROGRAM-LIST SCRIPT WORK-DIR LOG EXTRA-CMAKE-ARGS...
  program=$1 script=$2 work=$3 log=$4
  shift 4
  one_started=$(date +%s)
  # A play that hangs under Wine fails alone rather than holding the run.
  rc=0
  timeout 300 cmake -DCLI="$program" -DSCRIPT="$root/$script" -DWORK_DIR="$work" \
    -DPLATFORM=win "$@" -P tests/cli/run_script.cmake >"$log" 2>&1 || rc=$?
  took=$(($(date +%s) - one_started))
  # Each takes a few seconds; one that takes long says so, as a clue.
  [ "$took" -lt 60 ] || echo "windows: $(basename "$script") took $took s under Wine"
  return "$rc"
}
# Wine itself failed to start the program (its own address space, its
# desktop), before the program could do anything: not the program's fault.
wine_failed_to_start() {  # LOG
  grep -q -e 'virtual_alloc_first_teb' -e 'failed to start explorer' "$1"
}
run_scripts() {  # LABEL PROGRAM-LIST EXTRA-CMAKE-ARGS... ; the scripts come from $scripts
  label=$1
  program=$2
  shift 2
  passed=0
  for script in $scripts; do
    name=$(basename "$script" .gls)
    log="$build/$label/$name.log"
    mkdir -p "$build/$label"
    if run_one "$program" "$script" "$build/$label/$name" "$log" "$@"; then
      passed=$((passed + 1))
    elif [ -n "$retry_silent_starts" ] && { wine_failed_to_start "$log" || {
           grep -q '^-' "$log" && ! grep -q '^+[^+]' "$log" && grep -q '^exit status [1-9]' "$log"; }; }; then
      # Wine failed to start it, or it printed nothing at all and failed: the
      # program did not start (a rare fault of Wine's under load). Shown,
      # and tried once more.
      echo "--- $name ($label, under Wine) did not start; tried again. First try:"
      cat "$log"
      if run_one "$program" "$script" "$build/$label/$name" "$log" "$@"; then
        passed=$((passed + 1))
      else
        echo "--- $name ($label, under Wine) failed again:"
        cat "$log"
        failed="$failed $label/$name"
      fi
    else
      echo "--- $name ($label, under Wine) failed:"
      cat "$log"
      failed="$failed $label/$name"
    fi
  done
  echo "windows: $passed $label tests passed under Wine ($(($(date +%s) - started)) s)"
}

scripts=$(ls tests/cli/scripts/*.gls)
run_scripts scripts "$WINE;$cli"

# The window, on a display of its own, with Wine's own interface fonts. One
# that is not there makes every window play crawl (Wine waits for a desktop
# it cannot make) and still pass: the run stops here instead.
start_xvfb 1920x1080x24
wait_for 10 "the X server's first answer" xdpyinfo
# As the window's own script-play test: scripts that answer file dialogs are
# a person's choice, not played unattended; those that give glimmora-cli
# options of its own, or are timed on its own clock, are left to it.
scripts=$(grep -L -e '^answer ' -e '^# args: ' -e '^# clock: ' tests/cli/scripts/*.gls)
export GLIMMORA_USB=sim-empty  # as glimmora-cli starts: no board plugged in
# Only standard output is compared here: Wine's own errors go to standard
# error, where a failure's log shows them.
retry_silent_starts=yes
export WINEDEBUG=err+all,fixme-all
run_scripts window "$WINE;$gui;--exit;--run" -DOUT_ONLY=ON
export WINEDEBUG=-all
retry_silent_starts=""
unset GLIMMORA_USB

# Real boards, with none plugged in (Wine reaches no USB device): the program
# starts, says so, and ends as it should.
usb_out=$(printf 'click cbWritesettings\nprint txtLog\n' | "$WINE" "$cli" --board usb 2>&1) && usb_rc=0 || usb_rc=$?
case "$usb_out" in
  *"USB Device not connected!"*) [ "$usb_rc" -eq 0 ] || failed="$failed usb-no-board" ;;
  *) failed="$failed usb-no-board" ;;
esac
echo "windows: glimmora-cli.exe --board usb with no board: status $usb_rc"
[ -z "$failed" ] || { echo "windows: failed:$failed"; printf '%s\n' "$usb_out" | head -20; exit 1; }

rm -f "$build"/glimmora-*-win64.zip
(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(ls "$build"/glimmora-*-win64.zip)
for f in glimmora.exe glimmora-cli.exe LICENSE.txt README-windows.txt glimmora.txt glimmora-cli.txt; do
  cmake -E tar tf "$zip" | grep -q "/$f$" || { echo "windows: $zip has no $f"; exit 1; }
done
echo "windows: $zip, $(($(stat -c %s "$zip") / 1024)) KiB ($(($(date +%s) - started)) s in all)"
