#include <gtest/gtest.h>

#include "editor/EditorLayout.h"
#include "editor/LookGeometry.h"
#include "editor/PluginEditor.h"

namespace
{
using Rect = juce::Rectangle<int>;

// Gives every label the font height the editor's look uses, as the framework asks for it
// when a caption follows its knob.
class FixedLabelFontLook : public juce::LookAndFeel_V4
{
public:
    explicit FixedLabelFontLook (float h)
        : height (h)
    {
    }
    juce::Font getLabelFont (juce::Label&) override { return juce::Font (height); }

private:
    float height;
};

// Height of a real juce::Label attached above a knob, as the editor will read it.
int realCaptionHeight (float fontHeight)
{
    FixedLabelFontLook look (fontHeight);
    juce::Component knob;
    juce::Label caption;
    caption.setLookAndFeel (&look);
    caption.attachToComponent (&knob, false);
    knob.setBounds (52, 81, 89, 89);
    const auto h = caption.getHeight();
    EXPECT_EQ (caption.getBottom(), knob.getY()) << "the caption should sit directly above its knob";
    caption.setLookAndFeel (nullptr);
    return h;
}
} // namespace

TEST (EditorLayout, CaptionHeightRuleMatchesTheFrameworkLabel)
{
    EXPECT_EQ (realCaptionHeight (11.7f), 20);
    EXPECT_EQ (EditorLayout::attachedCaptionHeight (11.7f), 20);

    for (int W = MorvantaProcessorEditor::minimumWidth; W <= MorvantaProcessorEditor::maximumWidth; W += 7)
    {
        const auto fontHeight = EditorLayout::labelFontHeightFor (W);
        EXPECT_EQ (EditorLayout::attachedCaptionHeight (fontHeight), realCaptionHeight (fontHeight)) << "W = " << W;
    }
}

TEST (EditorLayout, FirstWindowSize)
{
    const auto l = EditorLayout::compute (900, 350);

    EXPECT_DOUBLE_EQ (l.smallKnobSize, 89.6);
    EXPECT_NEAR (l.gapUnit, 20.356, 0.001);
    EXPECT_EQ (l.smallKnobRowY, 81);
    EXPECT_EQ (l.modeButtonWidth, 72);
    EXPECT_EQ (l.modeButtonHeight, 36);
    EXPECT_EQ (l.buttonSide, 33);

    EXPECT_EQ (l.presetsButton, Rect (337, 3, 225, 39));
    EXPECT_EQ (l.previousPresetButton, Rect (300, 6, 34, 33));
    EXPECT_EQ (l.nextPresetButton, Rect (565, 6, 34, 33));
    EXPECT_EQ (l.powerButton, Rect (828, 6, 33, 33));

    EXPECT_EQ (l.cleanBassKnob, Rect (52, 81, 89, 89));
    EXPECT_EQ (l.cleanBassLabel, Rect (52, 61, 89, 20));
    EXPECT_EQ (l.driveKnob, Rect (151, 114, 179, 179));
    EXPECT_EQ (l.frame, Rect (360, 99, 179, 179));
    EXPECT_EQ (l.grainKnob, Rect (569, 114, 179, 179));
    EXPECT_EQ (l.outputKnob, Rect (758, 81, 89, 89));
    EXPECT_EQ (l.brightnessKnob, Rect (52, 210, 89, 89));
    EXPECT_EQ (l.mixKnob, Rect (758, 210, 89, 89));
    EXPECT_EQ (l.analyser, Rect (0, 0, 179, 179));

    const std::array<Rect, 5> modes{ l.softButton, l.tubeButton, l.tapeButton, l.distoButton, l.fuzzButton };
    const std::array<int, 5> modeX{ 255, 334, 414, 493, 572 };

    for (size_t i = 0; i < modes.size(); ++i)
        EXPECT_EQ (modes[i], Rect (modeX[i], 52, 72, 36)) << "drive-mode button " << i;

    EXPECT_EQ (l.offConsoleButton, Rect (334, 314, 33, 33));
    EXPECT_EQ (l.uConsoleButton, Rect (384, 314, 33, 33));
    EXPECT_EQ (l.aConsoleButton, Rect (433, 314, 33, 33));
    EXPECT_EQ (l.sConsoleButton, Rect (483, 314, 33, 33));
    EXPECT_EQ (l.nConsoleButton, Rect (532, 314, 33, 33));
    EXPECT_EQ (l.consoleLabel, Rect (582, 314, 99, 33));
    // 2s x s on the console row, centred under MIX: 758 + 89 / 2 - 33.
    EXPECT_EQ (l.oversamplingButton, Rect (769, 314, 66, 33));

    EXPECT_EQ (l.smallTextBoxWidth, 62);
    EXPECT_EQ (l.smallTextBoxHeight, 17);
    EXPECT_EQ (l.bigTextBoxWidth, 76);
    EXPECT_EQ (l.bigTextBoxHeight, 35);
    EXPECT_FLOAT_EQ (l.labelFontHeight, 11.7f);
    EXPECT_FLOAT_EQ (l.captionFontHeight, 11.7f);
    EXPECT_FLOAT_EQ (l.consoleFontHeight, 13.5f);

    EXPECT_EQ (l.panelMargin, 9);
    EXPECT_EQ (l.panel, Rect (25, 43, 849, 265));
    EXPECT_EQ (l.panelInner, juce::Rectangle<float> (28.0f, 46.0f, 846.0f, 262.0f));
    EXPECT_EQ (l.panelInner.getRight(), (float) l.panel.getRight()) << "Q keeps P's right edge";
    EXPECT_EQ (l.panelInner.getBottom(), (float) l.panel.getBottom()) << "Q keeps P's bottom edge";
    EXPECT_EQ (l.panelShadow, juce::Rectangle<float> (26.0f, 44.0f, 849.0f, 265.0f));
    EXPECT_EQ (l.title, Rect (36, 5, 154, 33));

    EXPECT_EQ (l.separatorY, 330);
    const std::array<std::pair<float, float>, 5> gaps{ { { 367.0f, 384.0f }, { 417.0f, 433.0f }, { 466.0f, 483.0f }, { 516.0f, 532.0f }, { 565.0f, 582.0f } } };

    for (size_t i = 0; i < gaps.size(); ++i)
    {
        EXPECT_EQ (l.separators[i].getStart(), juce::Point<float> (gaps[i].first, 330.0f)) << "separator " << i;
        EXPECT_EQ (l.separators[i].getEnd(), juce::Point<float> (gaps[i].second, 330.0f)) << "separator " << i;
    }

    EXPECT_EQ (l.scopeShadowUpperLeft, juce::Rectangle<float> (358.0f, 97.0f, 179.0f, 179.0f));
    EXPECT_EQ (l.scopeShadowLowerRight, juce::Rectangle<float> (361.0f, 101.0f, 179.0f, 179.0f));
    EXPECT_EQ (l.scopeRim, juce::Rectangle<float> (360.0f, 99.0f, 181.0f, 179.0f));
}

TEST (EditorLayout, GradientsFollowTheWindow)
{
    const auto l = EditorLayout::compute (900, 350);

    const auto background = l.makeBackgroundGradient();
    EXPECT_TRUE (background.isRadial);
    EXPECT_EQ (background.point1, juce::Point<float> (225.0f, 21.0f));
    EXPECT_EQ (background.point2, juce::Point<float> (765.0f, 346.5f));
    EXPECT_EQ (background.getColour (0), juce::Colour (0xFFFEBE3Cu));
    EXPECT_EQ (background.getColour (1), juce::Colour (0xFF5A3C0Au));

    const auto panel = l.makePanelGradient();
    EXPECT_TRUE (panel.isRadial);
    EXPECT_EQ (panel.point1, juce::Point<float> (270.0f, 52.5f));
    EXPECT_EQ (panel.point2, juce::Point<float> (675.0f, 385.0f));
    EXPECT_EQ (panel.getColour (0), juce::Colour (0xFFA5B4BCu));
    EXPECT_EQ (panel.getColour (1), juce::Colour (0xFF191A1Au));
}

TEST (EditorLayout, LargestAndSmallestWindows)
{
    const auto large = EditorLayout::compute (1800, 700);
    EXPECT_DOUBLE_EQ (large.smallKnobSize, 180.0);
    EXPECT_DOUBLE_EQ (large.gapUnit, 40.0);
    EXPECT_EQ (large.cleanBassKnob, Rect (104, 163, 180, 180));
    EXPECT_EQ (large.frame.getWidth(), 360);
    EXPECT_EQ (large.analyser, Rect (0, 0, 360, 360));
    EXPECT_EQ (large.powerButton, Rect (1656, 13, 66, 66));
    EXPECT_EQ (large.title, Rect (72, 11, 309, 66));
    EXPECT_EQ (large.oversamplingButton, Rect (1548, 633, 132, 66)) << "its bottom one pixel above the window's";

    const auto small = EditorLayout::compute (450, 175);
    EXPECT_DOUBLE_EQ (small.smallKnobSize, 44.8);
    EXPECT_EQ (small.buttonSide, 16);
    EXPECT_EQ (small.offConsoleButton, Rect (169, 155, 16, 16));
    EXPECT_EQ (small.consoleLabel, Rect (289, 155, 48, 16));
    EXPECT_EQ (small.oversamplingButton, Rect (383, 155, 32, 16));
    EXPECT_FLOAT_EQ (small.captionFontHeight, 5.85f);
}

TEST (EditorLayout, ArrangementHoldsAcrossTheSizeRange)
{
    for (int W = MorvantaProcessorEditor::minimumWidth; W <= MorvantaProcessorEditor::maximumWidth; W += 9)
    {
        const auto H = juce::roundToInt (W / MorvantaProcessorEditor::aspectRatio);
        const auto l = EditorLayout::compute (W, H);
        SCOPED_TRACE ("W = " + std::to_string (W));

        // The knob row reads CLEAN BASS, DRIVE, scope, GRAIN, OUTPUT without overlaps.
        EXPECT_LE (l.cleanBassKnob.getRight(), l.driveKnob.getX());
        EXPECT_LE (l.driveKnob.getRight(), l.frame.getX());
        EXPECT_LE (l.frame.getRight(), l.grainKnob.getX());
        EXPECT_LE (l.grainKnob.getRight(), l.outputKnob.getX());
        EXPECT_EQ (l.brightnessKnob.getX(), l.cleanBassKnob.getX());
        EXPECT_EQ (l.mixKnob.getX(), l.outputKnob.getX());
        EXPECT_EQ (l.frame.getWidth(), l.frame.getHeight()) << "the scope is round";

        // Everything the editor places stays inside the window, and the panel holds the knobs.
        const Rect window (0, 0, W, H);

        for (const auto& r : { l.presetsButton, l.previousPresetButton, l.nextPresetButton, l.powerButton, l.cleanBassKnob, l.driveKnob, l.frame, l.grainKnob, l.outputKnob, l.brightnessKnob, l.mixKnob, l.softButton, l.fuzzButton, l.offConsoleButton, l.consoleLabel, l.title, l.oversamplingButton })
            EXPECT_TRUE (window.contains (r)) << r.toString();

        // The oversampling button keeps to the console row's free space right of the caption: it
        // overlaps no control, the panel and its outline included, and is drawn whole in the
        // two-to-one image.
        const auto os = l.oversamplingButton;
        EXPECT_EQ (os.getY(), l.offConsoleButton.getY());
        EXPECT_EQ (os.getHeight(), l.offConsoleButton.getHeight());
        EXPECT_GT (os.getX(), l.consoleLabel.getRight());
        EXPECT_EQ (LookGeometry::textButtonShape (os.getWidth(), os.getHeight()), LookGeometry::ButtonShape::wide);
        EXPECT_FALSE (l.panelShadow.expanded (1.0f).intersects (os.toFloat())) << "the 2-pixel outline of the panel's shadow";

        for (const auto& r : { l.presetsButton, l.previousPresetButton, l.nextPresetButton, l.powerButton, l.cleanBassKnob, l.cleanBassLabel, l.driveKnob, l.frame, l.grainKnob, l.outputKnob, l.brightnessKnob, l.mixKnob, l.softButton, l.tubeButton, l.tapeButton, l.distoButton, l.fuzzButton, l.offConsoleButton, l.uConsoleButton, l.aConsoleButton, l.sConsoleButton, l.nConsoleButton, l.consoleLabel, l.panel, l.title })
            EXPECT_FALSE (os.intersects (r)) << r.toString();

        // It scales with the window: its row and height are the console row's, and across the row
        // it keeps its place and width of the 900 x 350 window to within 1 % of the window's width,
        // which is what the truncations of the layout shift.
        EXPECT_NEAR (os.getX() / (double) W, 769.0 / 900.0, 0.01) << os.toString();
        EXPECT_NEAR (os.getWidth() / (double) W, 66.0 / 900.0, 0.01) << os.toString();

        for (const auto& r : { l.cleanBassLabel, l.driveKnob, l.frame, l.grainKnob, l.brightnessKnob, l.mixKnob })
            EXPECT_TRUE (l.panel.contains (r)) << r.toString();

        // The separators join neighbours of the console row at its middle height.
        EXPECT_EQ (l.separators.front().getStartX(), (float) l.offConsoleButton.getRight());
        EXPECT_EQ (l.separators.back().getEndX(), (float) l.consoleLabel.getX());
        EXPECT_GT (l.separatorY, l.offConsoleButton.getY());
        EXPECT_LT (l.separatorY, l.offConsoleButton.getBottom());
    }
}
