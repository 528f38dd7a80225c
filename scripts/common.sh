# Shared by install.sh and test.sh: the Debian packages the project needs, and a virtual display.

MORVANTA_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    juce-modules-source libfftw3-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
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

# JUCE's X11 code looks up the window-manager atoms without creating them and fails on a bare
# Xvfb where no window manager made them. Writing each name as the value of a scratch ATOM
# property makes the server intern it, without touching any property a window manager owns.
create_window_manager_atoms()
{
    local atom
    for atom in WM_PROTOCOLS WM_DELETE_WINDOW WM_TAKE_FOCUS WM_STATE WM_CHANGE_STATE _NET_WM_NAME \
        _NET_WM_STATE _NET_WM_STATE_FULLSCREEN _NET_WM_STATE_HIDDEN _NET_WM_STATE_SKIP_TASKBAR \
        _NET_WM_STATE_ABOVE _NET_WM_PID _NET_WM_PING _NET_WM_WINDOW_TYPE _NET_WM_WINDOW_TYPE_NORMAL \
        _NET_WM_WINDOW_TYPE_COMBO _NET_WM_WINDOW_TYPE_DIALOG _NET_WM_WINDOW_TYPE_POPUP_MENU \
        _NET_WM_WINDOW_TYPE_TOOLTIP _NET_WM_ICON _NET_FRAME_EXTENTS _NET_WORKAREA _NET_SUPPORTED \
        _NET_ACTIVE_WINDOW _NET_WM_ALLOWED_ACTIONS _NET_WM_USER_TIME _MOTIF_WM_HINTS XdndAware; do
        xprop -root -f _MORVANTA_ATOM 32a -set _MORVANTA_ATOM "$atom" >/dev/null 2>&1 || true
    done
    xprop -root -remove _MORVANTA_ATOM >/dev/null 2>&1 || true
}

# Starts Xvfb on a free display unless one is already set, and makes sure JUCE windows can open.
ensure_display()
{
    if [ -n "${DISPLAY:-}" ] && xprop -root >/dev/null 2>&1; then
        create_window_manager_atoms
        return 0
    fi

    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -noreset -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
        MORVANTA_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do xprop -root >/dev/null 2>&1 && break; sleep 0.1; done
        create_window_manager_atoms
        trap 'kill ${MORVANTA_XVFB_PID} 2>/dev/null || true' EXIT
        return 0
    done

    echo "No free X display for Xvfb" >&2
    return 1
}
