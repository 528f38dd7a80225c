#pragma once

#include <vector>

#include <juce_graphics/juce_graphics.h>

/** Real pointer input, as a user's mouse gives it: it reaches whichever window lies under the
    pointer, the plug-in's own windows of a hosted module included, through the system's input
    path. On Linux it is the X server's test extension (xdotool); on Windows it is SendInput,
    which Wine turns into X pointer events. Positions are in screen pixels. */
namespace RealPointer
{
/** Whether real input can be given here; when not, `unavailable` says why. */
bool available();
extern const char* const unavailable;

/** Moves the pointer, then lets the message loop see it. */
void moveTo (juce::Point<int> p);

/** Moves the pointer, presses and releases the left button, then lets the message loop see it. */
void click (juce::Point<int> p);

/** Screen bounds of the visible popup menu windows of any module (windows named "menu", as the
    framework names them), in no particular order. */
std::vector<juce::Rectangle<int>> menuWindows();
} // namespace RealPointer
