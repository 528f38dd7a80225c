# Shared by install.sh and test.sh: the Debian packages the project needs, and a virtual display.

MORVANTA_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    juce-modules-source libfftw3-dev libx11-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    xvfb x11-utils xauth xdotool
)

install_packages()
{
    local missing=()
    for p in "${MORVANTA_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing Debian packages: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
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
