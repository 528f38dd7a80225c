#!/usr/bin/env bash
# Checks the C++ sources' formatting, then builds and runs the whole test suite through CTest, in
# three builds:
#   build/test   Release: unit, editor, threading and host tests (the built bundle in JUCE's VST3
#                hosting), the host soak and the preset-reader fuzz run; the benchmarks are
#                built there but not run;
#   build/asan   AddressSanitizer + UndefinedBehaviorSanitizer: unit, host and threading tests;
#   build/tsan   ThreadSanitizer: the threading tests.
# Host and editor tests need a display: Xvfb is started when none is set.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

install_packages
fetch_jpeg_source
ensure_display

JOBS="${JOBS:-$(nproc)}"
ROOT="${BUILD_ROOT:-build}"

# configure DIR [cmake options...]
configure()
{
    local dir="$1"
    shift
    cmake -S . -B "$dir" -G Ninja "$@"
}

started=$(date +%s)
step() { echo; echo "=== $* ($(($(date +%s) - started)) s)"; }

step "Formatting"
# Every tracked C++ file as Debian's clang-format lays it out with the committed .clang-format.
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

step "Release build"
# The benchmarks are built, not run, so that they keep compiling.
configure "$ROOT/test" -DCMAKE_BUILD_TYPE=Release -DMORVANTA_BUILD_BENCHMARKS=ON
cmake --build "$ROOT/test" --parallel "$JOBS"

step "Release tests"
ctest --test-dir "$ROOT/test" --output-on-failure --parallel "$JOBS"

step "AddressSanitizer + UndefinedBehaviorSanitizer build"
configure "$ROOT/asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANTA_SANITIZERS=address,undefined
cmake --build "$ROOT/asan" --parallel "$JOBS" --target morvanta_unit_tests morvanta_editor_tests morvanta_host_tests morvanta_threading_tests

step "AddressSanitizer + UndefinedBehaviorSanitizer tests"
ctest --test-dir "$ROOT/asan" --output-on-failure --parallel "$JOBS" \
    -L "morvanta_unit_tests|morvanta_editor_tests|morvanta_host_tests|morvanta_threading_tests"

step "ThreadSanitizer build"
configure "$ROOT/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANTA_SANITIZERS=thread
cmake --build "$ROOT/tsan" --parallel "$JOBS" --target morvanta_threading_tests

step "ThreadSanitizer tests"
ctest --test-dir "$ROOT/tsan" --output-on-failure --parallel "$JOBS" -L morvanta_threading_tests

step "All test runs passed"
