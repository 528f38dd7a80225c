#pragma once

#include <vector>

#include <juce_graphics/juce_graphics.h>

/** The texts in a picture of the plug-in window, so that pictures of it taken on two platforms can
    be compared text by text: where each text may lie comes from the editor's layout at the
    picture's size (every text button's text area, the knobs' captions and value boxes, the console
    caption), where its ink lies from the pixels. Ink is what stands out from the area's median
    brightness, on the side of the strongest contrast, by at least half of that contrast: a
    measure that anti-aliasing and the panel texture barely move. */
namespace TextBoxes
{
struct Text
{
    juce::String name;
    juce::Rectangle<int> area; // where the text is drawn, in the picture
    juce::Rectangle<int> box; // its ink's bounding box; empty when nothing there stands out
};

/** Every text of a picture of the whole window, taken at the window's size. */
std::vector<Text> find (const juce::Image& window);

/** Compares the texts of two pictures of the window at one size, a line per text: the two boxes,
    and whether each edge lies within `tolerance` pixels of the reference's. True when every text
    has ink in both and all agree. */
bool agree (const juce::Image& picture, const juce::Image& reference, int tolerance, juce::StringArray& lines);
} // namespace TextBoxes
