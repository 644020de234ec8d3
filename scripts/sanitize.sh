#!/bin/sh
# Builds the converters' tests under AddressSanitizer and
# UndefinedBehaviorSanitizer (into build-asan/) and runs their robustness
# tests: truncated, oversized and random bytes through every reader.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQB_BUILD_GUI=OFF -DQB_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-O1 -g -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-asan -j"$(nproc)" --target test_formats test_text
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in build-asan/test_formats build-asan/test_text; do
  echo "sanitizers: $t"
  "$t" --gtest_filter='*Robustness*' --gtest_brief=1
done
