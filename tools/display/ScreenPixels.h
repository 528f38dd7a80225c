#pragma once

#include <juce_graphics/juce_graphics.h>

/** What the screen shows, read from the X server through a connection of the caller's own (on
    Windows, from the screen's device context), so that a plug-in's window embedded by the host
    can be looked at as a user sees it. */
namespace ScreenPixels
{
/** The pixels of an area of the screen (screen coordinates); an empty image without a display. */
juce::Image grab (juce::Rectangle<int> area);
} // namespace ScreenPixels
