#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The round scope behind the spectrum display: a circle filling the square component with a
    radial gradient. The editor adds the SpectrumAnalyzer to it as a child and draws the disc with
    its own still layers, which it renders once per size: the frame itself paints nothing, so the
    display's repaints never redraw the gradient. Message thread only. */
class Frame : public juce::Component
{
public:
    Frame() = default;
    ~Frame() override;

    /** Paints the disc in this component's coordinates. */
    void paintDisc (juce::Graphics& g) const;
    void paintOverChildren (juce::Graphics& g) override;
    void resized() override;

private:
    juce::ColourGradient frameGradient;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Frame)
};
