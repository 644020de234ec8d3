#!/bin/sh
# Sets up, builds and runs the main job: a fresh archive in demo-home/ shown
# with `quillbox-cli info`.
set -e
cd "$(dirname "$0")/.."
sh scripts/setup.sh
sh scripts/build.sh
HOME_DIR="${1:-demo-home}"
./build/quillbox-cli --home "$HOME_DIR" info
