#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Puts the framework's main mouse pointer over a component (or nowhere) without a real pointer,
// so that isMouseOverOrDragging answers as it would while a user hovers. The component must be
// inside a component on the desktop; this needs a display (Xvfb will do).
namespace PointerHover
{
inline void moveTo (juce::Component& desktopComponent, juce::Point<float> positionInDesktopComponent)
{
    if (auto* peer = desktopComponent.getPeer())
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse,
            positionInDesktopComponent,
            juce::ModifierKeys(),
            juce::MouseInputSource::defaultPressure,
            juce::MouseInputSource::defaultOrientation,
            juce::Time::currentTimeMillis());
}

// Hovers over the centre of target, a child (at any depth) of desktopComponent.
inline void over (juce::Component& desktopComponent, juce::Component& target)
{
    moveTo (desktopComponent, desktopComponent.getLocalPoint (&target, target.getLocalBounds().getCentre()).toFloat());
}

// Moves the pointer outside the desktop component, so nothing is hovered.
inline void away (juce::Component& desktopComponent)
{
    moveTo (desktopComponent, { -1000.0f, -1000.0f });
}
} // namespace PointerHover
