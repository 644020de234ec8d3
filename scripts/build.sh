#!/bin/sh
# Configures and builds Quillbox into build/ (Release with debug info).
set -e
cd "$(dirname "$0")/.."
WERROR=OFF
[ "$CI" = "true" ] && WERROR=ON
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQB_WERROR=$WERROR >/dev/null
cmake --build build -j"$(nproc)"
