#!/bin/sh
# Sets up, builds and starts glimmora on the simulated board.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh build
# shellcheck source=build_options.sh
. scripts/build_options.sh
# (one word an option)
# shellcheck disable=SC2046
cmake -S . -B build $(build_options build) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target glimmora
GLIMMORA_USB="${GLIMMORA_USB:-sim}" exec ./build/app/glimmora "$@"
