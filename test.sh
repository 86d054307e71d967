#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# every test. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
install_dependencies

werror=OFF
if [ "${CI:-}" = "true" ]; then
    werror=ON
fi
# clang: it compiles this tree with the sanitizers in about two thirds of gcc's time, and the
# package test's Release build takes it too (through CXX). Batched (unity), several files compile
# as one; the package test builds one file at a time, so that a missing include still shows.
export CXX=${CXX:-clang++}
build=build/sanitize
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_BUILD_TYPE=Debug \
    -DSCALE_SANITIZE=ON -DSCALE_WERROR="$werror" -DSCALE_BUILD_TESTS=ON -DCMAKE_UNITY_BUILD=ON \
    >/dev/null
ninja -C "$build" -j2

# A few seconds of every fuzz target before the tests, so that ctest's summary stays the closing
# line; a crash still fails the run once the tests are done.
fuzz_status=0
scripts/fuzz.sh 3 || fuzz_status=$?

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
exit "$fuzz_status"
