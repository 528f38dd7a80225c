#include "tools/screenshot/TextBoxes.h"

#include <algorithm>

#include "editor/EditorLayout.h"
#include "editor/LookGeometry.h"

namespace
{
// Below this brightness difference (0 to 255) from the median there is no text: the panel
// texture's own spread is smaller.
constexpr float minimumContrast = 32.0f;

struct Area
{
    const char* name;
    juce::Rectangle<int> bounds;
    float fontHeight;
};

// Where each text is drawn and at what height, by the same layout and geometry as the editor's.
std::vector<Area> textAreas (int width, int height)
{
    const auto l = EditorLayout::compute (width, height);
    std::vector<Area> areas;

    const std::pair<const char*, juce::Rectangle<int>> buttons[] = {
        { "PRESETS", l.presetsButton },
        { "<", l.previousPresetButton },
        { ">", l.nextPresetButton },
        { "SOFT", l.softButton },
        { "TUBE", l.tubeButton },
        { "TAPE", l.tapeButton },
        { "DISTO", l.distoButton },
        { "FUZZ", l.fuzzButton },
        { "-", l.offConsoleButton },
        { "U", l.uConsoleButton },
        { "A", l.aConsoleButton },
        { "S", l.sConsoleButton },
        { "N", l.nConsoleButton },
        { "oversampling", l.oversamplingButton },
    };

    for (const auto& [name, b] : buttons)
        areas.push_back ({ name, LookGeometry::buttonTextArea (b.getWidth(), b.getHeight(), false, false) + b.getPosition(), LookGeometry::buttonFontHeight (b.getHeight()) });

    // Every label draws at the look's label height. Captions sit on top of their knobs, as wide as
    // they are; value boxes are centred at the knobs' feet, as the framework lays out a slider's
    // text box below it.
    areas.push_back ({ "CONSOLE", l.consoleLabel, l.labelFontHeight });
    const auto captionHeight = l.cleanBassLabel.getHeight();
    const auto valueBox = [] (juce::Rectangle<int> knob, int boxWidth, int boxHeight)
    {
        const auto w = std::min (boxWidth, knob.getWidth());
        const auto h = std::min (boxHeight, knob.getHeight() - 15);
        return juce::Rectangle<int> (knob.getX() + (knob.getWidth() - w) / 2, knob.getBottom() - h, w, h);
    };

    const std::tuple<const char*, const char*, juce::Rectangle<int>, bool> knobs[] = {
        { "CLEAN BASS", "CLEAN BASS value", l.cleanBassKnob, false },
        { "BRIGHTNESS", "BRIGHTNESS value", l.brightnessKnob, false },
        { "DRIVE", "DRIVE value", l.driveKnob, true },
        { "GRAIN", "GRAIN value", l.grainKnob, true },
        { "OUTPUT", "OUTPUT value", l.outputKnob, false },
        { "MIX", "MIX value", l.mixKnob, false },
    };

    for (const auto& [caption, value, knob, big] : knobs)
    {
        areas.push_back ({ caption, { knob.getX(), knob.getY() - captionHeight, knob.getWidth(), captionHeight }, l.labelFontHeight });
        areas.push_back ({ value, big ? valueBox (knob, l.bigTextBoxWidth, l.bigTextBoxHeight) : valueBox (knob, l.smallTextBoxWidth, l.smallTextBoxHeight), l.labelFontHeight });
    }

    return areas;
}

float brightness (juce::Colour c)
{
    return 0.299f * c.getRed() + 0.587f * c.getGreen() + 0.114f * c.getBlue();
}

// The ink on one side of the median (side +1 brighter, -1 darker): pixels beyond half of that
// side's strongest contrast, in strokes that stay clear of the band's edges (a button's rim or
// highlight reaches them, letters do not). Its weight is the contrast summed over its pixels.
struct Ink
{
    juce::Rectangle<int> box;
    float weight = 0.0f;
};

Ink inkOnSide (const std::vector<float>& values, juce::Rectangle<int> band, float median, float side)
{
    const auto w = band.getWidth(), h = band.getHeight();
    float contrast = 0.0f;

    for (const auto v : values)
        contrast = std::max (contrast, side * (v - median));

    Ink ink;

    if (contrast < minimumContrast)
        return ink;

    std::vector<char> seen (values.size(), 0);

    for (size_t first = 0; first < values.size(); ++first)
    {
        if (seen[first] || side * (values[first] - median) < 0.5f * contrast)
            continue;

        // One stroke: the 8-connected pixels beyond the threshold.
        std::vector<size_t> stroke{ first };
        seen[first] = 1;
        bool reachesEdge = false;

        for (size_t next = 0; next < stroke.size(); ++next)
        {
            const auto x = (int) (stroke[next] % (size_t) w), y = (int) (stroke[next] / (size_t) w);
            reachesEdge = reachesEdge || x == 0 || y == 0 || x == w - 1 || y == h - 1;

            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                {
                    const auto i = (size_t) ((y + dy) * w + x + dx);

                    if (juce::isPositiveAndBelow (x + dx, w) && juce::isPositiveAndBelow (y + dy, h) && ! seen[i]
                        && side * (values[i] - median) >= 0.5f * contrast)
                    {
                        seen[i] = 1;
                        stroke.push_back (i);
                    }
                }
        }

        if (reachesEdge)
            continue;

        for (const auto i : stroke)
        {
            const juce::Rectangle<int> pixel (band.getX() + (int) (i % (size_t) w), band.getY() + (int) (i / (size_t) w), 1, 1);
            ink.box = ink.box.isEmpty() ? pixel : ink.box.getUnion (pixel);
            ink.weight += side * (values[i] - median);
        }
    }

    return ink;
}

// The text's ink in its area: in the rows within half a font height (and 2 pixels) of the area's
// middle, where the framework centres a line of text, on the side of the median with more ink.
juce::Rectangle<int> ink (const juce::Image& picture, const Area& area)
{
    const auto middle = area.bounds.toFloat().getCentreY();
    const auto reach = 0.5f * area.fontHeight + 2.0f;
    const auto top = std::max (area.bounds.getY(), (int) std::floor (middle - reach));
    const auto bottom = std::min (area.bounds.getBottom(), (int) std::ceil (middle + reach));
    const auto band = area.bounds.withTop (top).withBottom (bottom).getIntersection (picture.getBounds());
    std::vector<float> values;

    for (int y = band.getY(); y < band.getBottom(); ++y)
        for (int x = band.getX(); x < band.getRight(); ++x)
            values.push_back (brightness (picture.getPixelAt (x, y)));

    if (values.empty())
        return {};

    auto sorted = values;
    std::nth_element (sorted.begin(), sorted.begin() + (long) sorted.size() / 2, sorted.end());
    const auto median = sorted[sorted.size() / 2];
    const auto brighter = inkOnSide (values, band, median, 1.0f), darker = inkOnSide (values, band, median, -1.0f);
    return brighter.weight >= darker.weight ? brighter.box : darker.box;
}

juce::String describe (juce::Rectangle<int> box)
{
    return box.isEmpty() ? juce::String ("no ink") : box.toString();
}
} // namespace

namespace TextBoxes
{
std::vector<Text> find (const juce::Image& window)
{
    std::vector<Text> texts;

    for (const auto& area : textAreas (window.getWidth(), window.getHeight()))
        texts.push_back ({ area.name, area.bounds, ink (window, area) });

    return texts;
}

bool agree (const juce::Image& picture, const juce::Image& reference, int tolerance, juce::StringArray& lines)
{
    if (picture.getBounds() != reference.getBounds())
    {
        lines.add ("the pictures' sizes differ: " + picture.getBounds().toString() + " against " + reference.getBounds().toString());
        return false;
    }

    const auto texts = find (picture), expected = find (reference);
    bool all = true;

    for (size_t i = 0; i < texts.size(); ++i)
    {
        const auto a = texts[i].box, b = expected[i].box;
        const auto near = ! a.isEmpty() && ! b.isEmpty()
                          && std::abs (a.getX() - b.getX()) <= tolerance && std::abs (a.getY() - b.getY()) <= tolerance
                          && std::abs (a.getRight() - b.getRight()) <= tolerance && std::abs (a.getBottom() - b.getBottom()) <= tolerance;
        all = all && near;
        lines.add (texts[i].name.paddedRight (' ', 18) + texts[i].area.toString().paddedRight (' ', 18) + describe (a).paddedRight (' ', 18)
                   + describe (b).paddedRight (' ', 18) + (near ? "" : "DIFFERS"));
    }

    return all;
}
} // namespace TextBoxes
