#!/bin/sh
# Sets up, builds and starts glimmora on the simulated board.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target glimmora
GLIMMORA_USB="${GLIMMORA_USB:-sim}" exec ./build/app/glimmora "$@"
