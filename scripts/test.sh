#!/bin/sh
# Sets up, builds and runs every test; then builds the format converters'
# tests with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/)
# and runs their robustness tests there, so that a read past a buffer fails
# the run. QB_SKIP_SANITIZE=1 leaves the second build out.
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
sh scripts/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" --timeout 600)
[ "$QB_SKIP_SANITIZE" = "1" ] && exit 0
sh scripts/sanitize.sh
