#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native core with its unit
# tests and the cross-built plug-in with its Wine tests, and runs them all.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${DRAVLIN_BUILD_DIR:-$top/build}

"$top/scripts/setup.sh"

cmake -S "$top" -B "$build/native" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/native" -j"$(nproc)"
ctest --test-dir "$build/native" --output-on-failure -j"$(nproc)"
