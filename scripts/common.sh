# Shared by install.sh, test.sh and package.sh: the Debian packages the project needs, the
# libjpeg-turbo source the module compiles in, the static libraries of the Windows build, and a
# virtual display.

MORVANTA_PACKAGES=(
    build-essential cmake ninja-build pkg-config dpkg-dev
    juce-modules-source libfftw3-dev libx11-dev libpng-dev libfreetype-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    xvfb x11-utils xauth xdotool
)

MORVANTA_ARCH="$(dpkg --print-architecture)"

# libjpeg-turbo's x86 SIMD code is assembled with nasm.
[ "$MORVANTA_ARCH" = amd64 ] && MORVANTA_PACKAGES+=(nasm)

# On an x86-64 machine, what the arm64 module and its tests need: the cross compiler, qemu's user
# mode to run them, the arm64 libraries they link, and the X libraries JUCE opens at run time.
MORVANTA_ARM64_PACKAGES=(
    g++-aarch64-linux-gnu qemu-user
    libc6:arm64 libstdc++6:arm64 libfftw3-dev:arm64 libx11-dev:arm64 libpng-dev:arm64
    libfreetype-dev:arm64 libgtest-dev:arm64 libgmock-dev:arm64
    libxext6:arm64 libxcursor1:arm64 libxinerama1:arm64 libxrender1:arm64 libxrandr2:arm64
)

# On an x86-64 machine, what the Windows module and its tests need: MinGW-w64's compiler with POSIX
# threads (std::thread), wine64 to run what it builds, zlib built for MinGW, and NSIS for the
# installer.
MORVANTA_WINDOWS_PACKAGES=(
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev wine64 nsis
)

# Static MinGW builds of FFTW and libpng (Debian ships none), from Debian's source packages; the
# Windows toolchain file (cmake/x86_64-w64-mingw32.cmake) looks for them here.
MORVANTA_WINDOWS_LIBS="$PWD/build/windows-libs"

# The unpacked libjpeg-turbo source (Debian's, patches applied) that every build compiles into
# the module; CMake looks for it here (MORVANTA_JPEG_SOURCE_DIR).
MORVANTA_JPEG_SOURCE="$PWD/build/sources/libjpeg-turbo"

as_root()
{
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# install_packages [more packages...]: MORVANTA_PACKAGES and the ones given, in one apt run, so
# that a multiarch library installed for arm64 brings its amd64 twin to the same version.
install_packages()
{
    local missing=() p
    for p in "${MORVANTA_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    if [[ " ${missing[*]}" == *:arm64* ]] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
        as_root dpkg --add-architecture arm64
    fi

    echo "Installing Debian packages: ${missing[*]}"
    as_root apt-get update -qq
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# apt-get source needs the archive's source index. Where Debian's entries have no deb-src, adds
# one beside each of them (same URIs, suites, components and key) in a file of our own.
enable_debian_sources()
{
    apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q '^Package: libjpeg-turbo' && return 0

    local list=/etc/apt/sources.list.d/morvanta-deb-src file n
    while IFS=: read -r file n; do
        case "$file" in
            *.sources)
                # The n-th stanza (apt does not count comment-only paragraphs), as deb-src.
                awk -v n="$n" 'BEGIN { RS = ""; FS = "\n" }
                    { for (i = 1; i <= NF; ++i) if ($i !~ /^#/) break; if (i > NF || ++k != n) next
                      for (i = 1; i <= NF; ++i) print ($i ~ /^Types:/ ? "Types: deb-src" : $i); print "" }' \
                    "$file" | as_root tee -a "$list.sources" >/dev/null
                ;;
            *)
                sed -n "${n}s/^deb /deb-src /p" "$file" | as_root tee -a "$list.list" >/dev/null
                ;;
        esac
    done < <(apt-get indextargets 'Identifier: Packages' --format '$(ORIGIN) $(SOURCESENTRY)' \
        | awk '$1 == "Debian" { print $2 }' | sort -u)

    as_root apt-get update -qq
}

# fetch_debian_source PACKAGE FOLDER: unpacks Debian's source package PACKAGE (patches applied)
# into FOLDER, once. The security archive's index can name a revision it no longer serves: then
# the newest earlier revision the index knows of is taken.
fetch_debian_source()
{
    local package="$1" folder="$2"
    [ -f "$folder/.morvanta-source" ] && return 0
    enable_debian_sources

    local work version
    work="$(dirname "$folder")/download-$package"
    for version in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -u | sort -r -V); do
        rm -rf "$work"
        mkdir -p "$work"
        if (cd "$work" && apt-get source -qq "$package=$version" >/dev/null); then
            rm -rf "$folder"
            mv "$(find "$work" -mindepth 1 -maxdepth 1 -type d)" "$folder"
            echo "$package $version" > "$folder/.morvanta-source"
            rm -rf "$work"
            return 0
        fi
        echo "Debian's source of $package $version could not be fetched; trying an earlier one" >&2
    done
    rm -rf "$work"
    echo "No source of $package could be fetched" >&2
    return 1
}

# Unpacks Debian's libjpeg-turbo source package (the one its libjpeg62-turbo is built from) into
# MORVANTA_JPEG_SOURCE, once.
fetch_jpeg_source()
{
    # An unpacked source from before its version was recorded serves as it is.
    [ -f "$MORVANTA_JPEG_SOURCE/CMakeLists.txt" ] && return 0
    fetch_debian_source libjpeg-turbo "$MORVANTA_JPEG_SOURCE"
}

# Builds static single-precision FFTW and libpng for 64-bit Windows from Debian's source packages
# into MORVANTA_WINDOWS_LIBS (lib/, include/), each once: a stamp records the source version and
# the options, so only a change of either builds again. Only the libraries are built.
build_windows_libs()
{
    local sources jobs="${JOBS:-$(nproc)}"
    sources="$(dirname "$MORVANTA_JPEG_SOURCE")"
    mkdir -p "$MORVANTA_WINDOWS_LIBS/lib" "$MORVANTA_WINDOWS_LIBS/include"

    # FFTW as Debian builds its single precision for amd64 (SSE and AVX codelets), but static and
    # without threads, Fortran, tools or tests. MinGW's C library has no aligned malloc that
    # FFTW's configure recognises: FFTW aligns its own (--with-our-malloc), and the module wraps
    # that allocator as it does on Linux.
    local fftw_options=(--host=x86_64-w64-mingw32 --enable-single --enable-sse --enable-avx
        --with-our-malloc --disable-shared --enable-static --disable-threads --disable-openmp
        --disable-fortran --disable-doc)
    fetch_debian_source fftw3 "$sources/fftw3"
    local stamp="$MORVANTA_WINDOWS_LIBS/fftw3.stamp" want
    want="$(cat "$sources/fftw3/.morvanta-source") ${fftw_options[*]}"
    if [ "$(cat "$stamp" 2>/dev/null)" != "$want" ]; then
        local work="$MORVANTA_WINDOWS_LIBS/build-fftw3"
        rm -rf "$work"
        mkdir -p "$work"
        # The library's parts, then the library: its tools, tests and documentation stay unbuilt.
        (cd "$work" && "$sources/fftw3/configure" -q "${fftw_options[@]}" CC=x86_64-w64-mingw32-gcc-posix >/dev/null &&
            for part in support kernel simd-support dft rdft reodft api; do make -s -j"$jobs" -C "$part" >/dev/null || exit 1; done &&
            make -s libfftw3f.la >/dev/null) || return 1
        cp "$work/.libs/libfftw3f.a" "$MORVANTA_WINDOWS_LIBS/lib/" || return 1
        cp "$sources/fftw3/api/fftw3.h" "$MORVANTA_WINDOWS_LIBS/include/" || return 1
        rm -rf "$work"
        echo "$want" > "$stamp"
    fi

    # libpng's library alone (no shared library, programs or tests), against MinGW's zlib.
    local png_options=(-DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF)
    fetch_debian_source libpng1.6 "$sources/libpng1.6"
    stamp="$MORVANTA_WINDOWS_LIBS/libpng.stamp"
    want="$(cat "$sources/libpng1.6/.morvanta-source") ${png_options[*]}"
    if [ "$(cat "$stamp" 2>/dev/null)" != "$want" ]; then
        local work="$MORVANTA_WINDOWS_LIBS/build-libpng"
        rm -rf "$work"
        cmake -S "$sources/libpng1.6" -B "$work" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/x86_64-w64-mingw32.cmake" -DCMAKE_INSTALL_PREFIX="$MORVANTA_WINDOWS_LIBS" \
            "${png_options[@]}" >/dev/null || return 1
        cmake --build "$work" --parallel "$jobs" >/dev/null || return 1
        cmake --install "$work" >/dev/null || return 1
        rm -rf "$work"
        echo "$want" > "$stamp"
    fi
}

# Starts Xvfb on a free display unless one is already set. It runs without a window manager: the
# programs that open windows intern the atoms JUCE needs themselves (tools/display).
ensure_display()
{
    if [ -n "${DISPLAY:-}" ] && xprop -root >/dev/null 2>&1; then
        return 0
    fi

    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -noreset -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
        MORVANTA_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do xprop -root >/dev/null 2>&1 && break; sleep 0.1; done
        trap 'kill ${MORVANTA_XVFB_PID} 2>/dev/null || true' EXIT
        return 0
    done

    echo "No free X display for Xvfb" >&2
    return 1
}
