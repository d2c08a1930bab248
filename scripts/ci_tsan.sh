#!/bin/sh
# The tests where threads meet (dispatcher, simulated driver, the libusb
# backend's event thread, the Qt front end), built with ThreadSanitizer.
# Reports whose both sides lie in libraries built without it are suppressed by
# library in scripts/tsan.supp; anything else fails the run.
set -eu
cd "$(dirname "$0")/.."
# shellcheck source=stages.sh
. scripts/stages.sh
# shellcheck source=build_options.sh
. scripts/build_options.sh
BUILD_DIR="${BUILD_DIR:-build-tsan}"
# Only the programs of the selection below are built with it (the rest of the
# tree, a fifth of the objects and near a third of their bytes, never runs
# here): the test
# programs of ThreadsTest, Dispatcher and SimDriverTest, the libusb tests with
# the emulated bus and the command-line program they drive, every Qt test
# (app_tests, and a test file with a main() of its own), and the window
# program that the app tests start.
# A program this configuration does not make (no umockdev, no Qt) is left out.
build() {
  # (build_options and CMAKE_EXTRA hold any number of options, one word each)
  # shellcheck disable=SC2046,SC2086
  cmake -S . -B "$BUILD_DIR" $(build_options "$BUILD_DIR") -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMMORA_WERROR=ON \
    -DGLIMMORA_TSAN=ON -DGLIMMORA_BENCH=OFF ${CMAKE_EXTRA:-} >/dev/null
  available="$(cmake --build "$BUILD_DIR" --target help)"
  targets=""
  own_programs=$(for f in tests/app/*_test.cpp; do basename "$f" .cpp; done)
  for t in shell_tests forms_tests usb_tests libusb_tests usb_bus_host glimmora-cli glimmora app_tests $own_programs; do
    if printf '%s\n' "$available" | grep -Eq "^(\.\.\. )?$t(:.*)?\$"; then targets="$targets $t"; fi
  done
  # shellcheck disable=SC2086
  cmake --build "$BUILD_DIR" -j2 --target $targets
}
stage "thread checker's build (TSan)" build
# Reports go to standard error: with log_path the emulated bus of the libusb
# script tests no longer finds its board.
TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$(pwd)/scripts/tsan.supp"
export TSAN_OPTIONS
stage "thread checker's tests" ctest --test-dir "$BUILD_DIR" --output-on-failure -j2 --timeout 600 \
  -R '^((ThreadsTest|Dispatcher|SimDriverTest)\.|libusb\.|app\.)'
stage_summary
