# Shared by install.sh, test.sh and package.sh: the Debian packages the project needs, the
# libjpeg-turbo source the module compiles in, and a virtual display.

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

# Unpacks Debian's libjpeg-turbo source package (the one its libjpeg62-turbo is built from) into
# MORVANTA_JPEG_SOURCE, once.
fetch_jpeg_source()
{
    [ -f "$MORVANTA_JPEG_SOURCE/CMakeLists.txt" ] && return 0
    enable_debian_sources

    local work
    work="$(dirname "$MORVANTA_JPEG_SOURCE")/download"
    rm -rf "$work"
    mkdir -p "$work"
    (cd "$work" && apt-get source -qq libjpeg-turbo)
    mv "$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libjpeg-turbo-*')" "$MORVANTA_JPEG_SOURCE"
    rm -rf "$work"
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
