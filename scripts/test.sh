#!/bin/sh
# Sets up, builds and runs every test.
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
sh scripts/build.sh
sh scripts/sanitize.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 600
