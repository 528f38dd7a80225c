#include <gtest/gtest.h>

#include "editor/Palette.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/editor/RecordingContext.h"

using EditorTestSupport::OpenEditor;
using Kind = RecordingContext::Kind;
using Rect = juce::Rectangle<int>;

namespace
{
struct Placed
{
    const char* name;
    juce::Component* component;
    Rect expected;
};

// Every control the layout places, with where the layout says it goes.
std::vector<Placed> placedControls (MorvantaProcessorEditor& e, const EditorLayout& l)
{
    return {
        { "PRESETS", &e.presetsButton, l.presetsButton },
        { "<", &e.previousPresetButton, l.previousPresetButton },
        { ">", &e.nextPresetButton, l.nextPresetButton },
        { "power", &e.powerButton, l.powerButton },
        { "CLEAN BASS", &e.cleanBassKnob, l.cleanBassKnob },
        { "CLEAN BASS caption", &e.cleanBassLabel, l.cleanBassLabel },
        { "DRIVE", &e.driveKnob, l.driveKnob },
        { "frame", &e.frame, l.frame },
        { "GRAIN", &e.grainKnob, l.grainKnob },
        { "OUTPUT", &e.outputKnob, l.outputKnob },
        { "BRIGHTNESS", &e.brightnessKnob, l.brightnessKnob },
        { "MIX", &e.mixKnob, l.mixKnob },
        { "analyser", &e.analyser, l.analyser },
        { "SOFT", &e.softButton, l.softButton },
        { "TUBE", &e.tubeButton, l.tubeButton },
        { "TAPE", &e.tapeButton, l.tapeButton },
        { "DISTO", &e.distoButton, l.distoButton },
        { "FUZZ", &e.fuzzButton, l.fuzzButton },
        { "-", &e.offConsoleButton, l.offConsoleButton },
        { "U", &e.uConsoleButton, l.uConsoleButton },
        { "A", &e.aConsoleButton, l.aConsoleButton },
        { "S", &e.sConsoleButton, l.sConsoleButton },
        { "N", &e.nConsoleButton, l.nConsoleButton },
        { "CONSOLE", &e.consoleLabel, l.consoleLabel },
        { "oversampling", &e.oversamplingButton, l.oversamplingButton },
    };
}

void expectLaidOutAsTheLayoutSays (MorvantaProcessorEditor& e)
{
    const auto layout = EditorLayout::compute (e.getWidth(), e.getHeight(), e.cleanBassLabel.getHeight());

    for (const auto& p : placedControls (e, layout))
        EXPECT_EQ (p.component->getBounds(), p.expected) << p.name << " at " << e.getWidth() << " x " << e.getHeight();

    // Every caption sits directly above its knob, as wide as it.
    const std::pair<juce::Label*, juce::Slider*> captions[] = { { &e.cleanBassLabel, &e.cleanBassKnob }, { &e.brightnessLabel, &e.brightnessKnob }, { &e.driveLabel, &e.driveKnob }, { &e.grainLabel, &e.grainKnob }, { &e.outputLabel, &e.outputKnob }, { &e.mixLabel, &e.mixKnob } };

    for (const auto& [caption, knob] : captions)
    {
        EXPECT_EQ (caption->getBottom(), knob->getY()) << caption->getText();
        EXPECT_EQ (caption->getX(), knob->getX()) << caption->getText();
        EXPECT_EQ (caption->getWidth(), knob->getWidth()) << caption->getText();
    }
}

RecordingContext::Log recordPaint (MorvantaProcessorEditor& e)
{
    RecordingContext context (juce::Image (juce::Image::ARGB, e.getWidth(), e.getHeight(), true));
    {
        juce::Graphics g (context);
        e.paintStillLayers (g);
    }
    return context.log;
}

void expectNear (juce::Rectangle<float> actual, juce::Rectangle<float> expected, const char* what)
{
    EXPECT_NEAR (actual.getX(), expected.getX(), 0.01f) << what;
    EXPECT_NEAR (actual.getY(), expected.getY(), 0.01f) << what;
    EXPECT_NEAR (actual.getWidth(), expected.getWidth(), 0.01f) << what;
    EXPECT_NEAR (actual.getHeight(), expected.getHeight(), 0.01f) << what;
}
} // namespace

TEST (EditorWindow, FirstSizeLaysOutEveryControlWithItsBoxesAndFonts)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    auto& e = *editor;

    ASSERT_EQ (e.getBounds(), Rect (0, 0, 900, 350));
    expectLaidOutAsTheLayoutSays (e);

    // The figures worked out by hand for 900 x 350.
    EXPECT_EQ (e.presetsButton.getBounds(), Rect (337, 3, 225, 39));
    EXPECT_EQ (e.previousPresetButton.getBounds(), Rect (300, 6, 34, 33));
    EXPECT_EQ (e.nextPresetButton.getBounds(), Rect (565, 6, 34, 33));
    EXPECT_EQ (e.powerButton.getBounds(), Rect (828, 6, 33, 33));
    EXPECT_EQ (e.cleanBassKnob.getBounds(), Rect (52, 81, 89, 89));
    EXPECT_EQ (e.cleanBassLabel.getBounds(), Rect (52, 61, 89, 20));
    EXPECT_EQ (e.driveKnob.getBounds(), Rect (151, 114, 179, 179));
    EXPECT_EQ (e.frame.getBounds(), Rect (360, 99, 179, 179));
    EXPECT_EQ (e.analyser.getBounds(), Rect (0, 0, 179, 179));
    EXPECT_EQ (e.grainKnob.getBounds(), Rect (569, 114, 179, 179));
    EXPECT_EQ (e.outputKnob.getBounds(), Rect (758, 81, 89, 89));
    EXPECT_EQ (e.brightnessKnob.getBounds(), Rect (52, 210, 89, 89));
    EXPECT_EQ (e.mixKnob.getBounds(), Rect (758, 210, 89, 89));

    const juce::Button* modes[] = { &e.softButton, &e.tubeButton, &e.tapeButton, &e.distoButton, &e.fuzzButton };
    const int modeX[] = { 255, 334, 414, 493, 572 };

    for (int i = 0; i < 5; ++i)
        EXPECT_EQ (modes[i]->getBounds(), Rect (modeX[i], 52, 72, 36)) << modes[i]->getButtonText();

    EXPECT_EQ (e.offConsoleButton.getBounds(), Rect (334, 314, 33, 33));
    EXPECT_EQ (e.uConsoleButton.getX(), 384);
    EXPECT_EQ (e.aConsoleButton.getX(), 433);
    EXPECT_EQ (e.sConsoleButton.getX(), 483);
    EXPECT_EQ (e.nConsoleButton.getX(), 532);
    EXPECT_EQ (e.consoleLabel.getBounds(), Rect (582, 314, 99, 33));
    EXPECT_EQ (e.oversamplingButton.getBounds(), Rect (769, 314, 66, 33));

    for (auto* k : { &e.cleanBassKnob, &e.brightnessKnob, &e.outputKnob, &e.mixKnob })
    {
        EXPECT_EQ (k->getTextBoxWidth(), 62);
        EXPECT_EQ (k->getTextBoxHeight(), 17);
        EXPECT_TRUE (k->isTextBoxEditable() == false) << "value boxes are read-only once laid out";
        EXPECT_EQ (k->getTextBoxPosition(), juce::Slider::TextBoxBelow);
    }

    for (auto* k : { &e.driveKnob, &e.grainKnob })
    {
        EXPECT_EQ (k->getTextBoxWidth(), 76);
        EXPECT_EQ (k->getTextBoxHeight(), 35);
        EXPECT_FALSE (k->isTextBoxEditable());
    }

    for (auto* caption : { &e.cleanBassLabel, &e.brightnessLabel, &e.driveLabel, &e.grainLabel, &e.outputLabel, &e.mixLabel })
    {
        EXPECT_FLOAT_EQ (caption->getFont().getHeight(), 11.7f) << caption->getText();
        EXPECT_TRUE (caption->getFont().isBold()) << caption->getText();
    }

    EXPECT_FLOAT_EQ (e.consoleLabel.getFont().getHeight(), 13.5f);
    EXPECT_TRUE (e.consoleLabel.getFont().isBold());
    EXPECT_FLOAT_EQ (e.look.labelFontHeight, 11.7f);
}

TEST (EditorWindow, LargestAndSmallestSizesScaleTheLayout)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    auto& e = *editor;

    e.setSize (1800, 700);
    expectLaidOutAsTheLayoutSays (e);
    EXPECT_EQ (e.cleanBassKnob.getBounds(), Rect (104, 163, 180, 180));
    EXPECT_EQ (e.frame.getWidth(), 360);
    EXPECT_EQ (e.analyser.getBounds(), Rect (0, 0, 360, 360));
    EXPECT_EQ (e.powerButton.getBounds(), Rect (1656, 13, 66, 66));
    EXPECT_EQ (processor.editorWidth, 1800);
    EXPECT_EQ (processor.editorHeight, 700);

    e.setSize (450, 175);
    expectLaidOutAsTheLayoutSays (e);
    EXPECT_EQ (e.offConsoleButton.getBounds(), Rect (169, 155, 16, 16));
    EXPECT_EQ (e.consoleLabel.getBounds(), Rect (289, 155, 48, 16));
    EXPECT_FLOAT_EQ (e.cleanBassLabel.getFont().getHeight(), 5.85f);
    EXPECT_EQ (processor.editorWidth, 450);
    EXPECT_EQ (processor.editorHeight, 175);
}

TEST (EditorWindow, EveryLayoutWritesTheSizeBackEvenWhenUnchanged)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);

    processor.editorWidth = 1;
    processor.editorHeight = 1;
    editor->resized();

    EXPECT_EQ (processor.editorWidth, 900);
    EXPECT_EQ (processor.editorHeight, 350);
}

TEST (EditorWindow, PaintDrawsPanelSeparatorsScopeSurroundAndTitle)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    const auto log = recordPaint (*editor);

    const auto fills = log.callsOf (Kind::fillRect);
    ASSERT_FALSE (fills.empty());
    EXPECT_TRUE (fills.front().gradient) << "the window background is the radial gradient";
    expectNear (fills.front().bounds, { 0.0f, 0.0f, 900.0f, 350.0f }, "background");

    const auto paths = log.callsOf (Kind::fillPath);
    ASSERT_GE (paths.size(), 12u);

    // m = 9, P = (25, 43, 849, 265), Q = P with its left and top edges moved in by 3.
    EXPECT_TRUE (paths[0].gradient);
    expectNear (paths[0].bounds, { 25.0f, 43.0f, 849.0f, 265.0f }, "panel");
    EXPECT_TRUE (paths[1].gradient) << "the texture fill";
    expectNear (paths[1].bounds, { 28.0f, 46.0f, 846.0f, 262.0f }, "textured panel");
    EXPECT_EQ (paths[2].colour, blackQuelm);
    expectNear (paths[2].bounds, { 26.5f, 44.5f, 849.0f, 265.0f }, "3-pixel outline of Q");
    EXPECT_EQ (paths[3].colour, blackUltraQuelm);
    expectNear (paths[3].bounds, { 25.0f, 43.0f, 851.0f, 267.0f }, "2-pixel outline of P moved by (1, 1)");

    // Five 2-pixel separators at y 330 between the console buttons and up to the caption.
    const float fromX[] = { 367.0f, 417.0f, 466.0f, 516.0f, 565.0f };
    const float toX[] = { 384.0f, 433.0f, 483.0f, 532.0f, 582.0f };

    for (int i = 0; i < 5; ++i)
    {
        const auto& sep = paths[(size_t) (4 + i)];
        EXPECT_EQ (sep.colour, greyBlackQuelm);
        expectNear (sep.bounds, { fromX[i], 329.0f, toX[i] - fromX[i], 2.0f }, "separator");
    }

    // Scope surround: FR = (360, 99, 179, 179).
    EXPECT_EQ (paths[9].colour, blackUltraQuelm);
    expectNear (paths[9].bounds, { 355.5f, 94.5f, 184.0f, 184.0f }, "upper-left ring");
    EXPECT_EQ (paths[10].colour, blackQuelm);
    expectNear (paths[10].bounds, { 358.5f, 98.5f, 184.0f, 184.0f }, "lower-right ring");
    EXPECT_EQ (paths[11].colour, greyQuelm);
    expectNear (paths[11].bounds, { 360.0f, 99.0f, 181.0f, 179.0f }, "grey crescent");
    EXPECT_TRUE (paths.back().gradient);
    expectNear (paths.back().bounds, { 360.0f, 99.0f, 179.0f, 179.0f }, "the scope's disc, last, where the frame lies");

    const auto images = log.callsOf (Kind::drawImage);
    ASSERT_EQ (images.size(), 1u);
    EXPECT_EQ (images[0].image.getWidth(), 1000);
    expectNear (images[0].bounds, { 36.0f, 5.0f, 154.0f, 33.0f }, "title");
    EXPECT_EQ (images[0].quality, juce::Graphics::highResamplingQuality);

    // The window's own paint is a single copy of those layers.
    RecordingContext window (juce::Image (juce::Image::RGB, 900, 350, true));
    {
        juce::Graphics g (window);
        editor->paint (g);
    }
    ASSERT_EQ (window.log.calls.size(), 1u);
    EXPECT_EQ (window.log.calls[0].kind, Kind::drawImage);
}

TEST (EditorWindow, TitleKeepsItsShapeAtThePowerButtonHeightWhenLargest)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    editor->setSize (1800, 700);

    const auto images = recordPaint (*editor).callsOf (Kind::drawImage);
    ASSERT_EQ (images.size(), 1u);
    expectNear (images[0].bounds, { 72.0f, 11.0f, 309.0f, 66.0f }, "title");
}
