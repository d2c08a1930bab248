#!/bin/sh
# Sets up, builds and runs every test; then, where this machine can build and
# run programs with the thread checker, the tests where threads meet built with
# it (scripts/ci_tsan.sh), since some faults only it sees. BUILD_DIR and extra
# CMake options may be given in the environment (the sanitizer run uses them;
# with GLIMMORA_SANITIZE on, the thread checker's run is left to its own
# script, as the two cannot be combined). GLIMMORA_TSAN_RUN=0 leaves it out.
set -eu
cd "$(dirname "$0")/.."
# shellcheck source=stages.sh
. scripts/stages.sh
# shellcheck source=build_options.sh
. scripts/build_options.sh
# What the tests need; the later CI stages install their own.
sets="test"
case "${CMAKE_EXTRA:-}" in *GLIMMORA_BENCH=ON*) sets="$sets bench" ;; esac
# (one word a set)
# shellcheck disable=SC2086
stage "packages" sh scripts/setup.sh $sets
BUILD_DIR="${BUILD_DIR:-build}"
configure() {
  # (build_options and CMAKE_EXTRA hold any number of options, one word each)
  # shellcheck disable=SC2046,SC2086
  cmake -S . -B "$BUILD_DIR" $(build_options "$BUILD_DIR") -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMMORA_WERROR=ON \
    ${CMAKE_EXTRA:-} >/dev/null
}
stage "configure" configure
stage "build" cmake --build "$BUILD_DIR" -j2
stage "tests" ctest --test-dir "$BUILD_DIR" --output-on-failure -j2 --timeout 300

case "${CMAKE_EXTRA:-}" in *GLIMMORA_SANITIZE=ON*) stage_summary; exit 0 ;; esac
[ "${GLIMMORA_TSAN_RUN:-1}" = 0 ] && { stage_summary; exit 0; }
# A compiler without the thread checker, or a kernel whose memory layout it
# cannot run under, cannot run those tests: said, and not a failure.
probe="$(mktemp -d)"
trap 'rm -rf "$probe"; stage_cleanup' EXIT
printf 'int main() { return 0; }\n' >"$probe/probe.cpp"
if ! ${CXX:-c++} -fsanitize=thread "$probe/probe.cpp" -o "$probe/probe" >"$probe/log" 2>&1 ||
   ! "$probe/probe" >>"$probe/log" 2>&1; then
  echo "test: the thread checker cannot build or run programs here; its tests are left out:"
  sed 's/^/  /' "$probe/log" | head -5
  stage_summary
  exit 0
fi
BUILD_DIR="${TSAN_BUILD_DIR:-build-tsan}" CMAKE_EXTRA="" sh scripts/ci_tsan.sh
stage_summary
