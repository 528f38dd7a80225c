#!/usr/bin/env bash
# Builds the whole test suite and runs it through CTest: unit tests, the built bundle in a real
# VST3 host (under Xvfb when no display is set), fuzzing and the sanitizer builds.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

install_packages

BUILD_DIR="${BUILD_DIR:-build/test}"
JOBS="${JOBS:-$(nproc)}"

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD_DIR" --parallel "$JOBS"

ensure_display
ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel "$JOBS"
