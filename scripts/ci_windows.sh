#!/bin/sh
# Cross-builds glimmora-cli.exe for Windows, runs every script test under
# tests/cli/scripts through it under Wine (the same expected transcripts; a
# NAME.win.out or NAME.win.err stands where Windows words a failure its own
# way), and makes the ZIP package. BUILD_DIR may be given in the environment.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
BUILD_DIR="${BUILD_DIR:-build-win}"
case "$BUILD_DIR" in
  /*) build="$BUILD_DIR" ;;
  *) build="$root/$BUILD_DIR" ;;
esac
WINE=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
# A prefix of the build's own, made once and reused by later runs.
export WINEPREFIX="${WINEPREFIX:-$build/wine}"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: the program needs neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

cmake --no-warn-unused-cli -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DGLIMMORA_WERROR=ON ${CMAKE_EXTRA:-} >/dev/null
cmake --build "$build" -j2 --target glimmora-cli
exe="$build/cli/glimmora-cli.exe"

# Wine's first start is the slow part: one server for the whole run.
mkdir -p "$WINEPREFIX"
"$WINESERVER" -p 2>/dev/null || true  # (one may be running for this prefix already)
trap '"$WINESERVER" -k 2>/dev/null || true' EXIT
"$WINE" "$exe" --help >/dev/null 2>&1

passed=0
failed=""
for script in tests/cli/scripts/*.gls; do
  name=$(basename "$script" .gls)
  log="$build/scripts/$name.log"
  mkdir -p "$build/scripts"
  if cmake -DCLI="$WINE;$exe" -DSCRIPT="$root/$script" -DWORK_DIR="$build/scripts/$name" \
       -DPLATFORM=win -P tests/cli/run_script.cmake >"$log" 2>&1; then
    passed=$((passed + 1))
  else
    echo "--- $name (under Wine) failed:"
    cat "$log"
    failed="$failed $name"
  fi
done
echo "windows: $passed script tests passed under Wine${failed:+; failed:$failed}"
[ -z "$failed" ] || exit 1

(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(ls "$build"/glimmora-cli-*-win64.zip)
cmake -E tar tf "$zip" | grep -q "glimmora-cli.exe$" || { echo "windows: $zip has no glimmora-cli.exe"; exit 1; }
echo "windows: $zip"
