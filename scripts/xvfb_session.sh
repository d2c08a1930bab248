# shellcheck shell=sh
# Sourced by the screenshot scripts: a work folder and an X server (Xvfb) of
# their own, and the programs they start on it, all gone when the script ends,
# however it ends; and waits that give up, saying what did not come.
#   . "$(dirname "$0")/xvfb_session.sh"
#   start_xvfb 1920x1080x24          # sets and exports DISPLAY
#   PROGRAM ... & started $!         # ended with the session
#   wait_for 30 "the main window" xwininfo -name "TITLE"
# $work is the folder; a program's output kept in "$work/out" is shown when a
# wait gives up.
# Xvfb, the X tools, the window manager and ImageMagick, where missing.
sh "$(dirname "$0")/setup.sh" screen
work=$(mktemp -d)
session_pids=""

session_end() {
  # The programs first (the last started first), then the X server.
  for pid in $session_pids; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap session_end EXIT
# A signal ends the script through its exit, so that the above runs.
trap 'exit 130' INT TERM HUP

# started PID: the process ends with the session.
started() { session_pids="$1 $session_pids"; }

# stop PID: ends the process now, and waits for it.
stop() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
  rest=""
  for pid in $session_pids; do [ "$pid" = "$1" ] || rest="$rest $pid"; done
  session_pids=$rest
}

# wait_for SECONDS WHAT COMMAND...: runs COMMAND (quietly) until it succeeds;
# after SECONDS it says that WHAT did not come, shows what the X server and
# the program wrote, and fails.
wait_for() {
  until_time=$(($(date +%s) + $1))
  what=$2
  seconds=$1
  shift 2
  until "$@" >/dev/null 2>&1; do
    if [ "$(date +%s)" -ge "$until_time" ]; then
      echo "$(basename "$0"): $what did not come within $seconds s" >&2
      for log in "$work/xvfb.log" "$work/out"; do
        if [ -s "$log" ]; then echo "--- $(basename "$log"):" >&2; tail -n 20 "$log" >&2; fi
      done
      return 1
    fi
    sleep 0.1
  done
}

# start_xvfb SIZE: an X server of the session's own, with the screen SIZE
# (WIDTHxHEIGHTxDEPTH); it names its display once it accepts clients.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  started $!
  wait_for 10 "the X server (Xvfb)" test -s "$work/display"
  DISPLAY=":$(cat "$work/display")"
  export DISPLAY
}
