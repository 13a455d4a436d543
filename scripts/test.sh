#!/usr/bin/env bash
# Set up, build and run the whole test suite; exits non-zero on any failure.
#   1. the normal build and every test;
#   2. the same suite under AddressSanitizer with UndefinedBehaviorSanitizer;
#   3. the threaded code that runs without Qt (pool, collector, downloads, HTTP) under ThreadSanitizer
#      (Debian's Qt is not instrumented, so widget tests would report false races);
#   4. every fuzz target for a bounded time (KESTRANO_FUZZ_SECONDS, default 60; 0 skips).
set -euo pipefail
cd "$(dirname "$0")/.."

warnings=()
if [ "${CI:-}" = "true" ]; then warnings=(-DKESTRANO_WERROR=ON); fi
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

step() { printf '\n=== %s\n' "$*"; }

step "build and test"
scripts/setup.sh build "${warnings[@]}"
ctest --test-dir build --output-on-failure --timeout 600 -j "$jobs"

step "AddressSanitizer + UndefinedBehaviorSanitizer"
scripts/setup.sh build-asan -DKESTRANO_ASAN=ON "${warnings[@]}"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure --timeout 900 -j "$jobs"

step "ThreadSanitizer (code that runs without Qt)"
scripts/setup.sh build-tsan -DKESTRANO_TSAN=ON -DKESTRANO_GUI=OFF "${warnings[@]}"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan --output-on-failure --timeout 900 -j "$jobs"

if [ -x fuzz/run.sh ] && [ "${KESTRANO_FUZZ_SECONDS:-60}" != 0 ]; then
  step "fuzzing, ${KESTRANO_FUZZ_SECONDS:-60} s per target"
  fuzz/run.sh "${KESTRANO_FUZZ_SECONDS:-60}"
fi
