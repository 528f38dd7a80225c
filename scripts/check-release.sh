#!/usr/bin/env bash
# Checks the release files that package.sh wrote: the tarball's bundle holds both modules and the
# 15 factory presets; each module needs only what every current desktop installs; both .deb files
# pass lintian without errors and hold their own architecture's module alone; the bundles from
# the tarball and from the .deb files load in the project's host and render alike, the arm64
# modules under qemu-aarch64 through the arm64 host.
# Usage: check-release.sh DIST VERSION X86_64_BUILD AARCH64_BUILD (the builds' host tools render)
set -euo pipefail
cd "$(dirname "$0")/.."

dist="$1" version="$2" x86_build="$3" arm_build="$4"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail()
{
    echo "check-release: $*" >&2
    exit 1
}

echo "=== The tarball"
mkdir "$work/tar"
tar -xzf "$dist/Morvanta-$version-linux.tar.gz" -C "$work/tar"
bundle="$work/tar/Morvanta.vst3"
for f in LICENSE COPYRIGHT INSTALL.txt; do
    [ -f "$work/tar/$f" ] || fail "the tarball lacks $f"
done
[ "$(ls "$bundle/Contents" | tr '\n' ' ')" = "Resources aarch64-linux x86_64-linux " ] \
    || fail "the bundle's Contents hold $(ls "$bundle/Contents" | tr '\n' ' ')"
presets="$(find "$bundle/Contents/Resources/Presets" -name '*.mrv' | wc -l)"
[ "$presets" -eq 15 ] || fail "the bundle holds $presets presets, not 15"

echo "=== What each module needs"
for module in "$bundle"/Contents/*-linux/Morvanta.so; do
    cmake -DREADELF=readelf -DMODULE="$module" -P tests/portability/ModuleNeeds.cmake
done

echo "=== The Debian packages"
lintian --fail-on error "$dist"/*.deb
for arch in amd64 arm64; do
    package="$dist/morvanta_${version}_$arch.deb"
    echo "$(basename "$package"): Depends: $(dpkg-deb -f "$package" Depends)"
    dpkg-deb -x "$package" "$work/$arch"
done
[ "$(ls "$work/amd64/usr/lib/vst3/Morvanta.vst3/Contents" | tr '\n' ' ')" = "Resources x86_64-linux " ] \
    || fail "the amd64 package's bundle holds more or less than its own module"
[ "$(ls "$work/arm64/usr/lib/vst3/Morvanta.vst3/Contents" | tr '\n' ' ')" = "Resources aarch64-linux " ] \
    || fail "the arm64 package's bundle holds more or less than its own module"

echo "=== Rendering"
# Tube with console "U" (restored from the state, as a project brings it back), driven hard.
setting=(--seconds 2 --set Drive=20 --set Grain=30 --set "Soft Button=Off" --set "Tube Button=On"
    --set "Of Console=Off" --set "U Console=On" --attribute consoleIndex=2)
x86_host="$x86_build/tools/morvanta-host"
arm_host=(qemu-aarch64 "$arm_build/tools/morvanta-host")
"$x86_host" "$bundle" "${setting[@]}" --write "$work/tarball.wav"
"$x86_host" "$work/amd64/usr/lib/vst3/Morvanta.vst3" "${setting[@]}" --compare "$work/tarball.wav" --within -80
"${arm_host[@]}" "$bundle" "${setting[@]}" --compare "$work/tarball.wav" --within -80
"${arm_host[@]}" "$work/arm64/usr/lib/vst3/Morvanta.vst3" "${setting[@]}" --compare "$work/tarball.wav" --within -80

echo "=== The release files are sound"
