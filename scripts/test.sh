#!/usr/bin/env bash
# Checks the C++ sources' formatting, then builds and runs the whole test suite through CTest, in
# these builds:
#   build/test   Release: unit, editor, threading and host tests (the built bundle in JUCE's VST3
#                hosting), the host soak, the module's portability check and the preset-reader
#                fuzz run; the benchmarks are built there but not run;
#   build/arm64  on an x86-64 machine, Release cross-built for arm64 and run under qemu-aarch64:
#                the same tests but the fuzz run, and the arm64 module's renders against
#                build/test's;
#   build/windows  on an x86-64 machine, Release cross-built for 64-bit Windows with MinGW-w64 and
#                run under wine64: the same tests but the fuzz run (the module's import and export
#                check in place of the Linux one), the Windows module's renders and the window's
#                texts against build/test's (the static FFTW and libpng it links are built once
#                into build/windows-libs);
#   build/asan   AddressSanitizer + UndefinedBehaviorSanitizer: unit, host and threading tests;
#   build/tsan   ThreadSanitizer: the threading tests.
# The fuzz run and the sanitizer builds stay on the machine's own architecture: their runtimes do
# not run under qemu's user mode. Host and editor tests need a display: Xvfb is started when none
# is set.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

cross=()
[ "$MORVANTA_ARCH" = amd64 ] && cross=("${MORVANTA_ARM64_PACKAGES[@]}" "${MORVANTA_WINDOWS_PACKAGES[@]}")
install_packages "${cross[@]}"
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

if [ ${#cross[@]} -gt 0 ]; then
    step "arm64 build"
    # Only what the tests under emulation run: no benchmarks, no tools but the host.
    configure "$ROOT/arm64" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake" \
        -DMORVANTA_REFERENCE_BUILD="$(cd "$ROOT/test" && pwd)"
    cmake --build "$ROOT/arm64" --parallel "$JOBS" --target \
        morvanta_unit_tests morvanta_editor_tests morvanta_threading_tests morvanta_host_tests morvanta_soak morvanta-host

    step "arm64 tests under qemu-aarch64"
    ctest --test-dir "$ROOT/arm64" --output-on-failure --parallel "$JOBS"

    step "Windows libraries"
    build_windows_libs

    step "Windows build"
    # What the tests run: no benchmarks, no tools but the host and the screenshot tool.
    configure "$ROOT/windows" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/x86_64-w64-mingw32.cmake" \
        -DMORVANTA_REFERENCE_BUILD="$(cd "$ROOT/test" && pwd)"
    cmake --build "$ROOT/windows" --parallel "$JOBS" --target Morvanta_VST3 morvanta-host morvanta-screenshot \
        morvanta_host_tests morvanta_unit_tests morvanta_editor_tests morvanta_threading_tests morvanta_soak

    step "Windows tests under wine64"
    ctest --test-dir "$ROOT/windows" --output-on-failure --parallel "$JOBS"
fi

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
