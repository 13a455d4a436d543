#!/usr/bin/env bash
# Set up, build and run the whole test suite; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
warnings=()
if [ "${CI:-}" = "true" ]; then warnings=(-DKESTRANO_WERROR=ON); fi
scripts/setup.sh build "${warnings[@]}"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600 -j "$(nproc)"
