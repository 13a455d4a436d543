#!/usr/bin/env bash
# Set up, build and start Kestrano.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
exec build/kestrano "$@"
