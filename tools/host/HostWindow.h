#pragma once

#include <memory>

#include <juce_audio_processors/juce_audio_processors.h>

/** A hosted plug-in's editor in a window on the desktop, as a DAW shows it. Needs an X display.
    Message thread. */
class HostWindow
{
public:
    /** Opens the plug-in's editor; `editor` stays null when it has none. */
    explicit HostWindow (juce::AudioPluginInstance& plugin);
    ~HostWindow();

    /** Asks for a size as a host does when the user drags its window frame, and returns what the
        plug-in's constraints made of it. */
    juce::Rectangle<int> resizeTo (int width, int height);

    /** Lets both sides exchange their size and paint. */
    void settle();

    /** Runs the message loop for the given time, delivering paints, timers and X events. */
    static void pump (int milliseconds);

    std::unique_ptr<juce::AudioProcessorEditor> editor;
    juce::Component window;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (HostWindow)
};
