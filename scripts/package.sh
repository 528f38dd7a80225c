#!/usr/bin/env bash
# Writes the release files to dist/:
#   Morvanta-<version>-linux.tar.gz   one Morvanta.vst3 holding the x86-64 and the arm64 module,
#                                     LICENSE, COPYRIGHT and INSTALL.txt;
#   morvanta_<version>_amd64.deb      /usr/lib/vst3/Morvanta.vst3 with the x86-64 module;
#   morvanta_<version>_arm64.deb      the same with the arm64 module;
#   Morvanta-<version>-windows-x64.zip        Morvanta.vst3 with the 64-bit Windows module,
#                                             LICENSE.txt, COPYRIGHT.txt and INSTALL.txt;
#   Morvanta-<version>-windows-x64-setup.exe  an installer of that bundle (packaging/windows);
# then checks them (scripts/check-release.sh). Runs on Debian 12 x86-64, which cross-builds the
# arm64 and the Windows module, and installs the Debian packages it needs, as install.sh does.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

if [ "$MORVANTA_ARCH" != amd64 ]; then
    echo "package.sh builds both architectures on an x86-64 (amd64) machine" >&2
    exit 1
fi

install_packages "${MORVANTA_ARM64_PACKAGES[@]}" "${MORVANTA_WINDOWS_PACKAGES[@]}" lintian zip unzip
fetch_jpeg_source
build_windows_libs

JOBS="${JOBS:-$(nproc)}"
ROOT="${BUILD_ROOT:-build}/package"
DIST=dist
VERSION="$(sed -n 's/^project (Morvanta VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
MAINTAINER="Quelm <morvanta@quelm.example>"
# Dates in the archive and the packages are the last commit's, not the time of packing.
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct 2>/dev/null || date +%s)"
export SOURCE_DATE_EPOCH

# build DIR [cmake options...]: the module and the host tool that check-release.sh renders with.
build()
{
    local dir="$1"
    shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
    cmake --build "$dir" --parallel "$JOBS" --target Morvanta_VST3 morvanta-host
}

build "$ROOT/x86_64"
build "$ROOT/aarch64" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/aarch64-linux-gnu.cmake"
build "$ROOT/windows" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/x86_64-w64-mingw32.cmake"

built() { echo "$ROOT/$1/Morvanta_artefacts/Release/VST3/Morvanta.vst3"; }

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT

# Every build generates the presets from the same source: each bundle carries one copy of them.
for other in aarch64 windows; do
    if ! diff -r "$(built x86_64)/Contents/Resources" "$(built "$other")/Contents/Resources"; then
        echo "The x86_64 and $other builds' Resources differ" >&2
        exit 1
    fi
done

# The two-architecture bundle, modules stripped (hosts need only their dynamic symbols), files
# readable by everyone and writable by the owner.
bundle="$stage/Morvanta.vst3"
mkdir -p "$bundle/Contents/x86_64-linux" "$bundle/Contents/aarch64-linux"
cp -r "$(built x86_64)/Contents/Resources" "$bundle/Contents/"
strip --strip-unneeded -R .comment -o "$bundle/Contents/x86_64-linux/Morvanta.so" "$(built x86_64)/Contents/x86_64-linux/Morvanta.so"
aarch64-linux-gnu-strip --strip-unneeded -R .comment -o "$bundle/Contents/aarch64-linux/Morvanta.so" \
    "$(built aarch64)/Contents/aarch64-linux/Morvanta.so"
find "$bundle" -type d -exec chmod 755 {} +
find "$bundle" -type f -exec chmod 644 {} +

# notices [more texts...]: every licence the module's contents come under: packaging/copyright,
# then the texts given, then the font's licence, which ends the file.
notices()
{
    local more
    cat packaging/copyright
    for more in "$@"; do
        printf '\n\n'
        cat "$more"
    done
    echo
    echo
    sed -n '/^SIL OPEN FONT LICENSE/,$p' resources/SpartanMedium-OFL.txt
}

notices > "$stage/COPYRIGHT"

rm -rf "$DIST"
mkdir -p "$DIST"

tarball="$DIST/Morvanta-$VERSION-linux.tar.gz"
sed "s/@VERSION@/$VERSION/g" packaging/INSTALL.txt > "$stage/INSTALL.txt"
cp LICENSE "$stage/LICENSE"
chmod 644 "$stage/INSTALL.txt" "$stage/LICENSE" "$stage/COPYRIGHT"
tar -C "$stage" --sort=name --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    -cf - Morvanta.vst3 LICENSE COPYRIGHT INSTALL.txt | gzip -9n > "$tarball"

# deb ARCH FOLDER: the package installing the bundle with that architecture's module alone.
deb()
{
    local arch="$1" folder="$2"
    local root="$stage/deb-$arch" doc="$stage/deb-$arch/usr/share/doc/morvanta"
    mkdir -p "$root/DEBIAN" "$root/usr/lib/vst3/Morvanta.vst3/Contents" "$doc"
    cp -r "$bundle/Contents/Resources" "$bundle/Contents/$folder" "$root/usr/lib/vst3/Morvanta.vst3/Contents/"
    cp "$stage/COPYRIGHT" "$doc/copyright"
    {
        printf 'morvanta (%s) stable; urgency=medium\n\n' "$VERSION"
        printf '  * Release %s, for x86-64 and arm64.\n\n' "$VERSION"
        printf ' -- %s  %s\n' "$MAINTAINER" "$(date -R -u -d "@$SOURCE_DATE_EPOCH")"
    } | gzip -9n > "$doc/changelog.gz"
    find "$root/usr" -type d -exec chmod 755 {} +
    find "$root/usr" -type f -exec chmod 644 {} +

    # dpkg-shlibdeps works out Depends from the module's NEEDED entries and the symbol versions
    # it uses, as Debian's own packages get theirs; it wants a debian/control to run in.
    local work="$stage/shlibdeps-$arch" depends
    mkdir -p "$work/debian"
    printf 'Source: morvanta\n\nPackage: morvanta\nArchitecture: any\n' > "$work/debian/control"
    depends="$(cd "$work" && DEB_HOST_ARCH="$arch" dpkg-shlibdeps -O \
        "$root/usr/lib/vst3/Morvanta.vst3/Contents/$folder/Morvanta.so" | sed -n 's/^shlibs:Depends=//p')"

    cat > "$root/DEBIAN/control" <<EOF
Package: morvanta
Version: $VERSION
Architecture: $arch
Maintainer: $MAINTAINER
Installed-Size: $(du -sk "$root/usr" | cut -f1)
Depends: $depends
Section: sound
Priority: optional
Description: stereo drive and saturation VST3 plug-in
 Morvanta adds harmonics, warmth or outright distortion to a track or a mix:
 five drive characters, a grain control, a brightness shelf, four console
 colours, a clean low end you can add back, and a dry/wet mix.
 .
 This package installs the VST3 bundle in /usr/lib/vst3, where Linux hosts
 look for plug-ins for every user.
EOF
    (cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$root/DEBIAN/md5sums"
    chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"
    dpkg-deb --root-owner-group -Zxz --build "$root" "$DIST/morvanta_${VERSION}_$arch.deb"
}

deb amd64 x86_64-linux
deb arm64 aarch64-linux

# nsis_bundle BUNDLE: the Windows installer's two macros for BUNDLE's files
# (packaging/windows/Morvanta.nsi): InstallBundle writes them into the installed bundle, folder
# by folder; RemoveBundle deletes exactly those files, then the folders, deepest first, each only
# if it is empty then. NSIS reads "$" as the start of a variable, so names carry "$$".
nsis_bundle()
{
    local bundle="$1" path folder last=
    nsis_path() { sed 's/^\.//; s|/|\\|g; s/\$/$$/g'; }
    echo '!macro InstallBundle'
    while IFS= read -r path; do
        folder="$(dirname "$path")"
        if [ "$folder" != "$last" ]; then
            echo "    SetOutPath \"\${BUNDLE}$(nsis_path <<< "$folder")\""
            last="$folder"
        fi
        echo "    File \"$(sed 's/\$/$$/g' <<< "$bundle/${path#./}")\""
    done < <(cd "$bundle" && find . -type f | LC_ALL=C sort)
    echo '!macroend'
    echo '!macro RemoveBundle'
    (cd "$bundle" && find . -type f | LC_ALL=C sort) | nsis_path | sed 's/.*/    Delete "${BUNDLE}&"/'
    # In reverse name order a folder comes after everything inside it.
    (cd "$bundle" && find . -type d | LC_ALL=C sort -r) | nsis_path | sed 's/.*/    RMDir "${BUNDLE}&"/'
    echo '!macroend'
}

# The Windows files carry a bundle with the Windows module alone: a Windows host loads nothing
# else from it, and the Linux files stay as they were. Texts have Windows' line ends (CRLF), and
# every file the last commit's date.
windows="$stage/windows"
mkdir -p "$windows/Morvanta.vst3/Contents/x86_64-win"
cp -r "$bundle/Contents/Resources" "$windows/Morvanta.vst3/Contents/"
# A Windows host needs only the module's export table.
x86_64-w64-mingw32-strip --strip-unneeded -o "$windows/Morvanta.vst3/Contents/x86_64-win/Morvanta.vst3" \
    "$(built windows)/Contents/x86_64-win/Morvanta.vst3"
crlf() { sed 's/\r*$/\r/'; }
sed "s/@VERSION@/$VERSION/g" packaging/windows/INSTALL.txt | crlf > "$windows/INSTALL.txt"
crlf < LICENSE > "$windows/LICENSE.txt"
notices packaging/windows/copyright | crlf > "$windows/COPYRIGHT.txt"
find "$windows" -type d -exec chmod 755 {} +
find "$windows" -type f -exec chmod 644 {} +
find "$windows" -exec touch -d "@$SOURCE_DATE_EPOCH" {} +

# Entries in name order, without Unix extra fields, their DOS times in UTC.
zipfile="$PWD/$DIST/Morvanta-$VERSION-windows-x64.zip"
(cd "$windows" && find Morvanta.vst3 LICENSE.txt COPYRIGHT.txt INSTALL.txt | LC_ALL=C sort | TZ=UTC zip -q -X -9 -@ "$zipfile")

nsis_bundle "$windows/Morvanta.vst3" > "$stage/Bundle.nsh"
makensis -V2 -DVERSION="$VERSION" -DSTAGE="$windows" -DBUNDLE_FILES="$stage/Bundle.nsh" \
    -DOUTFILE="$PWD/$DIST/Morvanta-$VERSION-windows-x64-setup.exe" packaging/windows/Morvanta.nsi

bash scripts/check-release.sh "$DIST" "$VERSION" "$ROOT/x86_64" "$ROOT/aarch64" "$ROOT/windows"
ls -l "$DIST"
