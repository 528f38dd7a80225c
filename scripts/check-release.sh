#!/usr/bin/env bash
# Checks the release files that package.sh wrote: the tarball's bundle holds both modules and the
# 15 factory presets; each module needs only what every current desktop installs; both .deb files
# pass lintian without errors and hold their own architecture's module alone; the bundles from
# the tarball and from the .deb files load in the project's host and render alike, the arm64
# modules under qemu-aarch64 through the arm64 host. The Windows zip's bundle holds the Windows
# module, which imports only Windows' own DLLs, and the presets; its texts have Windows' line
# ends. The Windows installer, run silently under wine64 in a fresh Wine prefix, installs that
# bundle into the 64-bit Common Files VST3 folder and registers its uninstaller; the installed
# bundle renders in the Windows host as the tarball's in the Linux host; the registered quiet
# uninstall leaves the prefix's files and registry as they were before the installer ran, both
# where the installer made the VST3 folder and where it found one with another plug-in in it.
# Usage: check-release.sh DIST VERSION X86_64_BUILD AARCH64_BUILD WINDOWS_BUILD (the builds' host
# tools render; the Wine prefix is made in WINDOWS_BUILD)
set -euo pipefail
cd "$(dirname "$0")/.."

dist="$1" version="$2" x86_build="$3" arm_build="$4" win_build="$5"
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

echo "=== The Windows zip"
mkdir "$work/zip"
unzip -q "$dist/Morvanta-$version-windows-x64.zip" -d "$work/zip"
winbundle="$work/zip/Morvanta.vst3"
[ "$(ls "$work/zip" | tr '\n' ' ')" = "COPYRIGHT.txt INSTALL.txt LICENSE.txt Morvanta.vst3 " ] \
    || fail "the zip holds $(ls "$work/zip" | tr '\n' ' ')"
for f in LICENSE.txt COPYRIGHT.txt INSTALL.txt; do
    [ -f "$work/zip/$f" ] || fail "the zip lacks $f"
    # Notepad before Windows 10 1809 shows a text with Unix line ends as one line.
    awk '!/\r$/ { exit 1 }' "$work/zip/$f" || fail "the zip's $f has lines without Windows line ends"
done
[ "$(ls "$winbundle/Contents" | tr '\n' ' ')" = "Resources x86_64-win " ] \
    || fail "the Windows bundle's Contents hold $(ls "$winbundle/Contents" | tr '\n' ' ')"
presets="$(find "$winbundle/Contents/Resources/Presets" -name '*.mrv' | wc -l)"
[ "$presets" -eq 15 ] || fail "the Windows bundle holds $presets presets, not 15"
cmake -DOBJDUMP=x86_64-w64-mingw32-objdump -DMODULE="$winbundle/Contents/x86_64-win/Morvanta.vst3" \
    -P tests/portability/WindowsModuleNeeds.cmake
# What the module links statically, each with its licence.
for notice in "GNU General Public License" "FFTW 3.3.10" "The IJG License" "PNG Reference Library License" \
    "Jean-loup Gailly and Mark Adler" "GCC RUNTIME LIBRARY EXCEPTION" "MinGW-w64 runtime licensing" \
    "(C) 2010 Lockless Inc." "SIL OPEN FONT LICENSE"; do
    grep -qF "$notice" "$work/zip/COPYRIGHT.txt" || fail "the zip's COPYRIGHT.txt lacks \"$notice\""
done

echo "=== The Windows installer under wine64"
# A fresh prefix: the installer first meets a Windows that has never seen Morvanta or a VST3 folder.
prefix="$(cd "$win_build" && pwd)/release-check-wine"
rm -rf "$prefix"
setup="$(cd "$dist" && pwd)/Morvanta-$version-windows-x64-setup.exe"
vst3="$prefix/drive_c/Program Files/Common Files/VST3"
installed="$vst3/Morvanta.vst3"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Morvanta'

wine() { timeout 600 cmake/wine64.sh "$prefix" "$@"; }
# Waits until every program of the prefix has ended (an NSIS uninstaller goes on from a copy of
# itself in the temporary folder after the one started returns) and Wine has saved the registry.
wine_wait() { WINEPREFIX="$prefix" /usr/lib/wine/wineserver -w; }

# snapshot NAME: the prefix's files (Wine's own Windows folder aside) and its machine and user
# registry. The uninstaller's copy of itself in the user's temporary folder is Windows' to delete
# at the next restart, as for every NSIS uninstaller: the temporary folders are left out.
snapshot()
{
    wine reg export 'HKLM\Software' "$work/$1.machine.reg" /reg:64 /y >/dev/null
    wine reg export 'HKCU' "$work/$1.user.reg" /y >/dev/null
    wine_wait
    (cd "$prefix" && find . -path ./drive_c/windows -prune -o -print | grep -v '^\./drive_c/users/[^/]*/Temp/' |
        LC_ALL=C sort) > "$work/$1.files"
}

# Installs silently, as an administrator's script would, and checks the bundle arrived whole.
run_installer()
{
    wine "$setup" /S || fail "the installer failed ($?)"
    wine_wait
    [ -d "$installed" ] || fail "the installer put no Morvanta.vst3 into the 64-bit Common Files VST3 folder"
    diff -r "$winbundle" "$installed" || fail "the installed bundle differs from the zip's"
}

# read_entry: Morvanta's entry in the 64-bit registry's list of installed programs; value NAME:
# that value of the entry last read.
read_entry() { wine reg query "$key" /reg:64 | tr -d '\r'; }
value() { sed -n "s/^ *$1 *REG_[A-Z_]* *//p" <<< "$entry"; }

# Uninstalls silently as Windows' list of installed programs does, through the entry's quiet
# uninstall command, and fails unless the files and the registry are as in the "before" snapshot.
run_uninstaller()
{
    entry="$(read_entry)" || fail "no uninstall entry in the 64-bit registry"
    local program
    program="$(sed -n 's/^"\([^"]*\)" \/S$/\1/p' <<< "$(value QuietUninstallString)")"
    [ -n "$program" ] || fail "the uninstall entry's QuietUninstallString is $(value QuietUninstallString)"
    wine "$program" /S || fail "the uninstaller failed ($?)"
    wine_wait
    snapshot after
    diff "$work/before.files" "$work/after.files" || fail "the uninstaller left files behind or removed others"
    # reg writes UTF-16.
    for hive in machine user; do
        diff <(iconv -f UTF-16 -t UTF-8 "$work/before.$hive.reg") <(iconv -f UTF-16 -t UTF-8 "$work/after.$hive.reg") \
            || fail "the uninstaller left the $hive registry other than it was before the installer ran"
    done
}

snapshot before
run_installer

entry="$(read_entry)" || fail "no uninstall entry in the 64-bit registry"
[ "$(value DisplayName)" = Morvanta ] || fail "the uninstall entry's DisplayName is $(value DisplayName)"
[ "$(value DisplayVersion)" = "$version" ] || fail "the uninstall entry's DisplayVersion is $(value DisplayVersion)"
[ "$(value Publisher)" = Quelm ] || fail "the uninstall entry's Publisher is $(value Publisher)"
[ "$(value InstallLocation)" = 'C:\Program Files\Common Files\VST3\Morvanta.vst3' ] \
    || fail "the uninstall entry's InstallLocation is $(value InstallLocation)"
[ "$(value NoModify)" = 0x1 ] && [ "$(value NoRepair)" = 0x1 ] || fail "the uninstall entry offers to modify or repair"
[ $(($(value EstimatedSize))) -ge $(($(du -sk "$installed" | cut -f1) * 9 / 10)) ] \
    || fail "the uninstall entry's EstimatedSize, $(($(value EstimatedSize))) KiB, is less than the bundle's"
uninstaller="$(sed -n 's/^"\(.*\)"$/\1/p' <<< "$(value UninstallString)")"
[ "$(value QuietUninstallString)" = "\"$uninstaller\" /S" ] \
    || fail "the uninstall entry's QuietUninstallString is $(value QuietUninstallString)"
[ -f "$prefix/drive_c/$(sed 's/^C:\\//; s/\\/\//g' <<< "$uninstaller")" ] || fail "no uninstaller at $uninstaller"

# As a Windows host opens it, from where the installer put it.
wine "$win_build/tools/morvanta-host.exe" 'C:\Program Files\Common Files\VST3\Morvanta.vst3' "${setting[@]}" \
    --compare "$work/tarball.wav" --within -120

# The VST3 folder the installer made goes with Morvanta; one that was there before stays, with
# the other plug-ins in it.
run_uninstaller
mkdir -p "$vst3/Other.vst3/Contents/x86_64-win"
echo "another plug-in" > "$vst3/Other.vst3/Contents/x86_64-win/Other.vst3"
snapshot before
run_installer
run_uninstaller
rm -rf "$prefix"

echo "=== The release files are sound"
