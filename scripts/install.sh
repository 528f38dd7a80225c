#!/usr/bin/env bash
# Installs the Debian packages the build needs, builds Morvanta in Release, installs the bundle
# into the standard Linux VST3 folder (~/.vst3, or $VST3_DIR) and renders a test signal through
# the installed bundle with the project's own VST3 host.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

install_packages
fetch_jpeg_source

BUILD_DIR="${BUILD_DIR:-build/release}"
VST3_DIR="${VST3_DIR:-$HOME/.vst3}"
JOBS="${JOBS:-$(nproc)}"

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$VST3_DIR"
cmake --build "$BUILD_DIR" --parallel "$JOBS" --target Morvanta_VST3 morvanta-host
cmake --install "$BUILD_DIR"

echo
echo "Installed $VST3_DIR/Morvanta.vst3; rendering through the installed bundle:"
"$BUILD_DIR/tools/morvanta-host" "$VST3_DIR/Morvanta.vst3" --rate 48000 --block 512 --seconds 3 \
    --set "Drive=20" --set "Grain=30" --set "Soft Button=Off" --set "Tube Button=On"
