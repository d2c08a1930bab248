#!/bin/sh
# Start-up cost of glimmora on a real X server (Xvfb): the time from process
# start to the main window's first paint, and the peak memory, over several
# runs, next to a bare Qt window of the same size built the same way.
#
#   scripts/startup_bench.sh            # 10 runs each, build dir "build"
#   RUNS=20 BUILD_DIR=build-app scripts/startup_bench.sh
#
# Needs xvfb and GNU time (/usr/bin/time). GLIMMORA_USB is passed on as it is:
# unset measures the real-board layer, "sim" adds the simulated board's window.
set -eu
cd "$(dirname "$0")/.."
RUNS="${RUNS:-10}"
BUILD_DIR="${BUILD_DIR:-build}"

cmake -S . -B "$BUILD_DIR" -DGLIMMORA_BENCH=ON >/dev/null 2>&1
cmake --build "$BUILD_DIR" -j2 --target glimmora glimmora-bare-window >/dev/null 2>&1 ||
  cmake --build "$BUILD_DIR" -j2 --target glimmora glimmora-bare-window

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A display of our own: Xvfb writes its number once it accepts clients.
mkdir -m 700 "$work/xdg"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ]; do
  i=$((i + 1))
  [ "$i" -gt 100 ] && { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
  sleep 0.1
done
display=":$(cat "$work/display")"

# measure NAME PROGRAM: one line per run, "<ms to first paint> <peak RSS in kB>".
measure() {
  name="$1"
  program="$2"
  : >"$work/$name"
  # One run first, not counted: it fills the file cache.
  runs=$((RUNS + 1))
  n=0
  while [ "$n" -lt "$runs" ]; do
    start=$(date +%s%N)
    DISPLAY="$display" XDG_RUNTIME_DIR="$work/xdg" GLIMMORA_EXIT_AFTER_PAINT=1 \
      /usr/bin/time -v -o "$work/time" "$program" >"$work/out" 2>"$work/err"
    painted=$(sed -n 's/^first-paint .* wall \([0-9]*\) ns$/\1/p' "$work/out")
    rss=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): \([0-9]*\)$/\1/p' "$work/time")
    if [ -z "$painted" ]; then
      echo "$name did not report its first paint:" >&2
      cat "$work/out" "$work/err" >&2
      exit 1
    fi
    [ "$n" -gt 0 ] && echo "$(((painted - start) / 1000)) $rss" >>"$work/$name"
    n=$((n + 1))
  done
}

# column NAME K: column K of NAME's runs, sorted, one value a line.
column() { cut -d' ' -f"$2" "$work/$1" | sort -n; }

# stats: "min median max" of sorted numbers on stdin, divided by $1.
stats() { awk -v d="$1" '{ v[NR] = $1 / d } END { printf "%.1f %.1f %.1f", v[1], v[int((NR + 1) / 2)], v[NR] }'; }

summary() {
  # (the statistics, one word each)
  # shellcheck disable=SC2046
  set -- "$1" $(column "$1" 1 | stats 1000) $(column "$1" 2 | stats 1024)
  printf "%-15s first paint ms: min %6s  median %6s  max %6s   peak RSS MB: min %5s  median %5s  max %5s\n" "$@"
}

measure bare-qt-window "$BUILD_DIR/app/glimmora-bare-window"
measure glimmora "$BUILD_DIR/app/glimmora"

echo "Start-up under Xvfb, $RUNS runs each, from process start to first paint (GLIMMORA_USB=${GLIMMORA_USB:-}):"
summary bare-qt-window
summary glimmora
bare=$(column bare-qt-window 1 | stats 1 | cut -d' ' -f2)
ours=$(column glimmora 1 | stats 1 | cut -d' ' -f2)
awk -v b="$bare" -v g="$ours" 'BEGIN { printf "glimmora / bare window, median first paint: %.2f\n", g / b }'
