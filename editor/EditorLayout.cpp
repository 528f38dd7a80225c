#include "editor/EditorLayout.h"

#include "editor/Palette.h"

namespace
{
// Window proportions are worked out in double and every bound is truncated toward zero.
int toInt (double v)
{
    return (int) v;
}

juce::Point<float> pointAt (double x, double y)
{
    return { (float) x, (float) y };
}
} // namespace

float EditorLayout::labelFontHeightFor (int W)
{
    return (float) (0.013 * W);
}

int EditorLayout::attachedCaptionHeight (float fontHeight)
{
    // Mirrors juce::Label::componentMovedOrResized for a label above its owner; juce::Font
    // applies the same limits to the height as the label's own font does.
    constexpr int defaultBorderTopAndBottom = 1 + 1;
    return defaultBorderTopAndBottom + 6 + juce::roundToInt (juce::Font (fontHeight).getHeight() + 0.5f);
}

EditorLayout EditorLayout::compute (int W, int H)
{
    return compute (W, H, attachedCaptionHeight (labelFontHeightFor (W)));
}

EditorLayout EditorLayout::compute (int W, int H, int captionHeight)
{
    EditorLayout l;
    l.width = W;
    l.height = H;

    l.smallKnobSize = (double) (W / 8) * 0.8;
    l.gapUnit = (W - 8.0 * l.smallKnobSize) / 9.0;
    l.smallKnobRowY = toInt (0.233 * H);
    l.modeButtonWidth = toInt (0.08 * W);
    l.modeButtonHeight = toInt (0.5 * l.modeButtonWidth);
    l.buttonSide = toInt (0.37 * l.smallKnobSize);
    l.centreX = 0.5 * W;

    // The short names of the layout formulas, so that each bound below reads as its formula.
    const auto k = l.smallKnobSize;
    const auto g = l.gapUnit;
    const auto s = l.buttonSide;
    const auto bw = l.modeButtonWidth;
    const auto cx = l.centreX;
    const auto smallKnob = toInt (k);
    const auto bigKnob = toInt (2.0 * k);

    l.labelFontHeight = labelFontHeightFor (W);
    l.captionFontHeight = l.labelFontHeight;
    l.consoleFontHeight = (float) (0.015 * W);

    l.backgroundCentre = pointAt (0.25 * W, 0.06 * H);
    l.backgroundRim = pointAt (0.85 * W, 0.99 * H);
    l.panelCentre = pointAt (0.3 * W, 0.15 * H);
    l.panelRim = pointAt (0.75 * W, 1.1 * H);

    const auto arrowY = toInt (0.08 * l.smallKnobRowY);
    l.presetsButton = { toInt (0.5 * W - 0.125 * W), toInt (0.08 * l.smallKnobRowY - 0.1 * s), toInt (0.25 * W), toInt (1.2 * s) };
    l.previousPresetButton = { toInt (l.presetsButton.getX() - 1.106 * s), arrowY, toInt (1.06 * s), s };
    l.nextPresetButton = { toInt (l.presetsButton.getRight() + 0.106 * s), arrowY, toInt (1.06 * s), s };
    l.powerButton = { toInt (0.92 * W), arrowY, s, s };

    l.cleanBassKnob = { toInt (2.6 * g), l.smallKnobRowY, smallKnob, smallKnob };
    l.cleanBassLabel = { l.cleanBassKnob.getX(), l.cleanBassKnob.getY() - captionHeight, l.cleanBassKnob.getWidth(), captionHeight };
    const auto captionY = l.cleanBassLabel.getY();

    l.driveKnob = { toInt (l.cleanBassKnob.getRight() + 0.5 * g), toInt (captionY + 0.6 * k), bigKnob, bigKnob };
    l.frame = { toInt (l.driveKnob.getRight() + 1.5 * g), toInt (captionY + 0.43 * k), bigKnob, bigKnob };
    l.grainKnob = { toInt (l.frame.getRight() + 1.5 * g), toInt (captionY + 0.6 * k), bigKnob, bigKnob };
    l.outputKnob = { toInt (l.grainKnob.getRight() + 0.5 * g), l.cleanBassKnob.getY(), smallKnob, smallKnob };
    l.brightnessKnob = { l.cleanBassKnob.getX(), toInt (l.cleanBassKnob.getBottom() + 2.0 * g), smallKnob, smallKnob };
    l.mixKnob = { l.outputKnob.getX(), toInt (l.outputKnob.getBottom() + 2.0 * g), smallKnob, smallKnob };
    l.analyser = { 0, 0, l.frame.getWidth(), l.frame.getHeight() };

    // Drive-mode buttons: a centred row with a pitch of 1.1 button widths.
    const auto modeY = toInt (captionY - 0.1 * k);
    l.softButton = { toInt (cx - 2.7 * bw), modeY, bw, l.modeButtonHeight };
    l.tubeButton = { toInt (cx - 1.6 * bw), modeY, bw, l.modeButtonHeight };
    l.tapeButton = { toInt (cx - 0.5 * bw), modeY, bw, l.modeButtonHeight };
    l.distoButton = { toInt (cx + 0.6 * bw), modeY, bw, l.modeButtonHeight };
    l.fuzzButton = { toInt (cx + 1.7 * bw), modeY, bw, l.modeButtonHeight };

    // Console buttons: a centred row with a pitch of 1.5 s, then the caption.
    const auto consoleY = toInt (l.mixKnob.getBottom() + 0.17 * k);
    l.offConsoleButton = { toInt (cx - 3.5 * s), consoleY, s, s };
    l.uConsoleButton = { toInt (cx - 2.0 * s), consoleY, s, s };
    l.aConsoleButton = { toInt (cx - 0.5 * s), consoleY, s, s };
    l.sConsoleButton = { toInt (cx + s), consoleY, s, s };
    l.nConsoleButton = { toInt (cx + 2.5 * s), consoleY, s, s };
    l.consoleLabel = { toInt (cx + 4.0 * s), toInt (consoleY + 0.02 * s), 3 * s, s };

    // The oversampling choice sits on the console row, two to one like the drive-mode buttons and
    // centred under MIX, in the free space right of the caption.
    l.oversamplingButton = { l.mixKnob.getCentreX() - s, consoleY, 2 * s, s };

    l.smallTextBoxWidth = toInt (0.7 * k);
    l.smallTextBoxHeight = toInt (0.2 * k);
    l.bigTextBoxWidth = toInt (0.85 * k);
    l.bigTextBoxHeight = toInt (0.4 * k);

    // The panel reaches from 3m left of and 2m above the CLEAN BASS caption to 3m right of and
    // m below the MIX knob.
    l.panelMargin = toInt (0.174 * l.cleanBassKnob.getX());
    const auto m = l.panelMargin;
    l.panel = { l.cleanBassLabel.getX() - 3 * m,
        captionY - 2 * m,
        l.mixKnob.getRight() + 6 * m - l.cleanBassLabel.getX(),
        l.mixKnob.getBottom() + 3 * m - captionY };
    const auto p = l.panel.toFloat();
    l.panelInner = { p.getX() + 3.0f, p.getY() + 3.0f, p.getWidth() - 3.0f, p.getHeight() - 3.0f };
    l.panelShadow = p.translated (1.0f, 1.0f);

    l.separatorY = toInt (consoleY + 0.5 * l.offConsoleButton.getHeight());
    const auto sy = (float) l.separatorY;
    const std::array<const juce::Rectangle<int>*, 6> consoleRow{ &l.offConsoleButton, &l.uConsoleButton, &l.aConsoleButton, &l.sConsoleButton, &l.nConsoleButton, &l.consoleLabel };

    for (size_t i = 0; i < l.separators.size(); ++i)
        l.separators[i] = { (float) consoleRow[i]->getRight(), sy, (float) consoleRow[i + 1]->getX(), sy };

    const auto f = l.frame.toFloat();
    l.scopeShadowUpperLeft = f.translated (-2.0f, -2.0f);
    l.scopeShadowLowerRight = f.translated (1.0f, 2.0f);
    l.scopeRim = f.withWidth (f.getWidth() + 2.0f);

    // 4.69484 is the title artwork's own aspect ratio, so it keeps its shape at the power
    // button's height.
    l.title = { 4 * m, toInt (0.07 * l.cleanBassKnob.getY()), toInt (4.69484 * l.powerButton.getHeight()), l.powerButton.getHeight() };

    return l;
}

juce::ColourGradient EditorLayout::makeBackgroundGradient() const
{
    return { juce::Colour (0xFFFEBE3Cu), backgroundCentre, orangeTransChord, backgroundRim, true };
}

juce::ColourGradient EditorLayout::makePanelGradient() const
{
    return { juce::Colour (0xFFA5B4BCu), panelCentre, blackUltraQuelm, panelRim, true };
}
