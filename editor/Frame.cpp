#include "editor/Frame.h"

#include "editor/Palette.h"

Frame::~Frame() = default;

void Frame::paintDisc (juce::Graphics& g) const
{
    g.setGradientFill (frameGradient);
    g.fillEllipse (getLocalBounds().toFloat());
}

void Frame::paintOverChildren (juce::Graphics&) {}

void Frame::resized()
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();

    // Light from the upper left: the centre colour sits off-centre, the radius reaches the lower right.
    frameGradient = juce::ColourGradient (greyBlackQuelm, 0.35f * w, 0.3f * h, blackFullQuelm, 0.75f * w, 0.7f * h, true);
}
