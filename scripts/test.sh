#!/bin/sh
# Sets up, builds and runs every test. BUILD_DIR and extra CMake options may be
# given in the environment (the sanitizer run uses them).
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh
BUILD_DIR="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLIMMORA_WERROR=ON ${CMAKE_EXTRA:-} >/dev/null
cmake --build "$BUILD_DIR" -j2
cd "$BUILD_DIR"
ctest --output-on-failure -j2 --timeout 300
