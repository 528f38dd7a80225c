#include "tools/display/WindowManagerAtoms.h"

#ifdef _WIN32
// Windows manages its windows itself, and Wine's X11 driver creates the atoms it uses.
WindowManagerAtoms::WindowManagerAtoms() = default;
WindowManagerAtoms::~WindowManagerAtoms() = default;
#else
#include <X11/Xlib.h>

#include <array>

namespace
{
// The atoms JUCE 7 looks up without creating (the window manager's protocols, states, window
// types, frame extents and work area), plus a few it would create on its own, as a window manager
// leaves them. JUCE's other look-ups only add optional hints where their atoms exist (older
// desktops' decorations, the allowed actions), so they stay absent.
constexpr std::array names{
    "WM_PROTOCOLS",
    "WM_DELETE_WINDOW",
    "WM_TAKE_FOCUS",
    "WM_STATE",
    "WM_CHANGE_STATE",
    "_NET_WM_NAME",
    "_NET_WM_STATE",
    "_NET_WM_STATE_FULLSCREEN",
    "_NET_WM_STATE_HIDDEN",
    "_NET_WM_STATE_SKIP_TASKBAR",
    "_NET_WM_STATE_ABOVE",
    "_NET_WM_PID",
    "_NET_WM_PING",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WM_WINDOW_TYPE_COMBO",
    "_NET_WM_WINDOW_TYPE_DIALOG",
    "_NET_WM_WINDOW_TYPE_POPUP_MENU",
    "_NET_WM_WINDOW_TYPE_TOOLTIP",
    "_NET_WM_ICON",
    "_NET_FRAME_EXTENTS",
    "_NET_WORKAREA",
    "_NET_SUPPORTED",
    "_NET_ACTIVE_WINDOW",
    "_NET_WM_ALLOWED_ACTIONS",
    "_NET_WM_USER_TIME",
    "_MOTIF_WM_HINTS",
    "XdndAware"
};
} // namespace

WindowManagerAtoms::WindowManagerAtoms()
    : display (XOpenDisplay (nullptr))
{
    if (display == nullptr)
        return;

    // only_if_exists = False: the server creates every name it does not know yet. The call waits
    // for the server's reply, so the atoms exist once it returns.
    std::array<Atom, names.size()> atoms{};
    XInternAtoms (display, const_cast<char**> (names.data()), static_cast<int> (names.size()), False, atoms.data());
}

WindowManagerAtoms::~WindowManagerAtoms()
{
    if (display != nullptr)
        XCloseDisplay (display);
}
#endif
