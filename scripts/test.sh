#!/bin/sh
# Sets up, builds and runs every test; then, where this machine can build and
# run programs with the thread checker, the tests where threads meet built with
# it (scripts/ci_tsan.sh), since some faults only it sees. BUILD_DIR and extra
# CMake options may be given in the environment (the sanitizer run uses them;
# with GLIMMORA_SANITIZE on, the thread checker's run is left to its own
# script, as the two cannot be combined). GLIMMORA_TSAN_RUN=0 leaves it out.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh
BUILD_DIR="${BUILD_DIR:-build}"
# (CMAKE_EXTRA holds any number of options, one word each)
# shellcheck disable=SC2086
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMMORA_WERROR=ON ${CMAKE_EXTRA:-} >/dev/null
cmake --build "$BUILD_DIR" -j2
(cd "$BUILD_DIR" && ctest --output-on-failure -j2 --timeout 300)

case "${CMAKE_EXTRA:-}" in *GLIMMORA_SANITIZE=ON*) exit 0 ;; esac
[ "${GLIMMORA_TSAN_RUN:-1}" = 0 ] && exit 0
# A compiler without the thread checker, or a kernel whose memory layout it
# cannot run under, cannot run those tests: said, and not a failure.
probe="$(mktemp -d)"
trap 'rm -rf "$probe"' EXIT
printf 'int main() { return 0; }\n' >"$probe/probe.cpp"
if ! ${CXX:-c++} -fsanitize=thread "$probe/probe.cpp" -o "$probe/probe" >"$probe/log" 2>&1 ||
   ! "$probe/probe" >>"$probe/log" 2>&1; then
  echo "test: the thread checker cannot build or run programs here; its tests are left out:"
  sed 's/^/  /' "$probe/log" | head -5
  exit 0
fi
BUILD_DIR="${TSAN_BUILD_DIR:-build-tsan}" CMAKE_EXTRA="" sh scripts/ci_tsan.sh
