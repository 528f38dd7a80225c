#pragma once

struct _XDisplay;

/**
    Makes an X server with no window manager (a bare Xvfb) fit for JUCE 7's windows.

    JUCE looks up the window-manager atoms without creating them, which a window manager does at
    start-up; on a server without one it gets None for them, and opening a window ends in an X
    BadAtom error. Constructing this interns them on the display named by DISPLAY (doing nothing
    when there is none). Construct it before JUCE connects and keep it for the program's life: the
    connection stays open while it lives, because a server that resets when its last client leaves
    (Xvfb as xvfb-run starts it) would otherwise forget the atoms before JUCE gets to them.
*/
class WindowManagerAtoms
{
public:
    WindowManagerAtoms();
    ~WindowManagerAtoms();

    WindowManagerAtoms (const WindowManagerAtoms&) = delete;
    WindowManagerAtoms& operator= (const WindowManagerAtoms&) = delete;

private:
    _XDisplay* display = nullptr;
};
