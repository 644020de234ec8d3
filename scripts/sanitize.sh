#!/bin/sh
# Builds the text and format tests with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs the robustness tests
# of the converters and text routines there.
set -e
cd "$(dirname "$0")/.."
WERROR=OFF
[ "$CI" = "true" ] && WERROR=ON
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQB_SANITIZE=ON -DQB_BUILD_GUI=OFF \
  -DQB_BUILD_BENCH=OFF -DQB_WERROR=$WERROR >/dev/null
cmake --build build-asan -j"$(nproc)" --target test_formats test_text quillbox-cli
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build-asan/test_text --gtest_filter='Robustness*:StripChar*'
build-asan/test_formats --gtest_filter='*Robustness*'
