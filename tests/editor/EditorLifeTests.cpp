#include <gtest/gtest.h>

#include "editor/Palette.h"
#include "engine/state/ParameterIDs.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/engine/ProcessorTestSupport.h"
#include "tests/support/AllocationCounter.h"

using EditorTestSupport::OpenEditor;
using ProcessorTestSupport::raw;
using ProcessorTestSupport::setPlain;

namespace
{
const char* const allParameterIds[] = { ParameterIDs::drive, ParameterIDs::grain, ParameterIDs::output, ParameterIDs::mix, ParameterIDs::cleanBass, ParameterIDs::brightness, ParameterIDs::softButton, ParameterIDs::tubeButton, ParameterIDs::tapeButton, ParameterIDs::fuzzButton, ParameterIDs::ofConsole, ParameterIDs::uConsole, ParameterIDs::aConsole, ParameterIDs::sConsole, ParameterIDs::onButton };

std::map<juce::String, float> parameterValues (MorvantaProcessor& p)
{
    std::map<juce::String, float> values;

    for (auto* id : allParameterIds)
        values[id] = raw (p, id);

    return values;
}

struct EngineSettings
{
    int driveMode;
    bool effectOff;
    bool consoleOff;
    bool hotMakeup;
    bool invertIR;
    bool irPending;
    float threshold;
    int consoleIndex;

    bool operator== (const EngineSettings& o) const
    {
        return driveMode == o.driveMode && effectOff == o.effectOff && consoleOff == o.consoleOff && hotMakeup == o.hotMakeup && invertIR == o.invertIR && irPending == o.irPending && threshold == o.threshold && consoleIndex == o.consoleIndex;
    }
};

EngineSettings engineSettings (MorvantaProcessor& p)
{
    return { p.grain.driveMode.load(), p.effectOff.load(), p.console.off.load(), p.console.hotMakeup.load(), p.console.invertIR, p.console.irPending, p.console.getRequestedThresholdDb(), p.consoleIndex.load() };
}
} // namespace

TEST (EditorLife, OpensAtTheLastSizeAndCorrectsAStoredSizeThatBreaksTheRules)
{
    MorvantaProcessor processor;

    {
        OpenEditor first (processor);
        EXPECT_EQ (first->getWidth(), 900);
        EXPECT_EQ (first->getHeight(), 350);
        first->setSize (1260, 490);
    }

    EXPECT_EQ (processor.editorWidth, 1260);
    EXPECT_EQ (processor.editorHeight, 490);

    {
        OpenEditor second (processor);
        EXPECT_EQ (second->getWidth(), 1260);
        EXPECT_EQ (second->getHeight(), 490);
    }

    const std::pair<int, int> broken[] = { { 3000, 1200 }, { 100, 40 }, { 900, 200 }, { 1000, 700 }, { 0, 0 } };

    for (const auto& [w, h] : broken)
    {
        processor.editorWidth = w;
        processor.editorHeight = h;
        OpenEditor editor (processor);
        const auto W = editor->getWidth();
        const auto H = editor->getHeight();
        const auto where = juce::String (w) + " x " + juce::String (h) + " became " + juce::String (W) + " x " + juce::String (H);

        EXPECT_GE (W, 450) << where;
        EXPECT_LE (W, 1800) << where;
        EXPECT_GE (H, 175) << where;
        EXPECT_LE (H, 700) << where;
        EXPECT_NEAR ((double) W / H, 900.0 / 350.0, 0.01) << where;
        EXPECT_EQ (processor.editorWidth, W) << "the corrected size is the one remembered";
        EXPECT_EQ (processor.editorHeight, H);
    }
}

TEST (EditorLife, OpeningAndClosingLeavesNoMemoryBehind)
{
    MorvantaProcessor processor;
    ProcessorTestSupport::prepare (processor, 48000.0, 256);
    std::int64_t before = 0;

    // After a few windows the images and the typeface are in the framework's caches.
    for (int i = 0; i < 110; ++i)
    {
        OpenEditor (processor).close();
        EditorTestSupport::pump (1); // what the editor left for the message loop to deliver

        if (i == 9)
            before = AllocationCounter::bytesInUse();
    }

    EXPECT_LT (std::abs (AllocationCounter::bytesInUse() - before), 1024) << "bytes taken after 100 windows came and went";
}

TEST (EditorLife, ConstrainerAndNoResizeCornerOfItsOwn)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);

    auto* c = editor->getConstrainer();
    ASSERT_NE (c, nullptr);
    EXPECT_EQ (c->getFixedAspectRatio(), static_cast<double> (900.0f / 350.0f));
    EXPECT_EQ (c->getMinimumWidth(), 450);
    EXPECT_EQ (c->getMinimumHeight(), 175);
    EXPECT_EQ (c->getMaximumWidth(), 1800);
    EXPECT_EQ (c->getMaximumHeight(), 700);
    EXPECT_TRUE (editor->isResizable());

    for (auto* child : editor->getChildren())
        EXPECT_EQ (dynamic_cast<juce::ResizableCornerComponent*> (child), nullptr);

    EXPECT_TRUE (editor->isOpaque());
    EXPECT_TRUE (editor->getWantsKeyboardFocus());
    EXPECT_TRUE (editor->isPaintingUnclipped());
}

TEST (EditorLife, OpeningRunsNoHandlerAndChangesNoParameter)
{
    MorvantaProcessor processor;
    ProcessorTestSupport::prepare (processor, 48000.0, 512);

    // Settings only handlers could have made, unlike what the parameters would give.
    setPlain (processor, ParameterIDs::drive, 20.0f);
    processor.console.setThreshold (5.0f);
    processor.grain.driveMode.store (GrainMath::disto);
    processor.effectOff.store (true);
    processor.consoleIndex = 5;
    processor.console.switchOn (false, true, 5.0f);

    const auto parametersBefore = parameterValues (processor);
    const auto engineBefore = engineSettings (processor);

    {
        OpenEditor editor (processor);
        EditorTestSupport::pump(); // nothing may arrive late either

        EXPECT_EQ (parameterValues (processor), parametersBefore);
        EXPECT_TRUE (engineSettings (processor) == engineBefore);
        // The buttons show what plays: "SoftButton" is on, so Soft plays from the next chunk on,
        // and the console heard is "N", which has no parameter, while "OfConsole" is on.
        EXPECT_TRUE (editor->softButton.getToggleState());
        EXPECT_FALSE (editor->distoButton.getToggleState());
        EXPECT_TRUE (editor->nConsoleButton.getToggleState());
        EXPECT_FALSE (editor->offConsoleButton.getToggleState());
        EXPECT_TRUE (editor->powerButton.getToggleState());
        EXPECT_EQ (editor->consoleLabel.findColour (juce::Label::textColourId), blackQuelm);
        EXPECT_EQ (editor->presetsButton.getButtonText(), "PRESETS");
    }

    EXPECT_EQ (parameterValues (processor), parametersBefore);
    EXPECT_TRUE (engineSettings (processor) == engineBefore);

    // With every mode parameter off the engine keeps Disto, and DISTO alone is lit.
    setPlain (processor, ParameterIDs::softButton, 0.0f);
    OpenEditor editor (processor);
    EditorTestSupport::pump();

    for (auto* mode : { &editor->softButton, &editor->tubeButton, &editor->tapeButton, &editor->distoButton, &editor->fuzzButton })
        EXPECT_EQ (mode->getToggleState(), mode == &editor->distoButton) << mode->getButtonText();

    EXPECT_EQ (processor.grain.driveMode.load(), GrainMath::disto);
}

TEST (EditorLife, TwoModesOnAtOpeningShowTheOneHeardAndWriteNothing)
{
    MorvantaProcessor processor;
    setPlain (processor, ParameterIDs::softButton, 1.0f);
    setPlain (processor, ParameterIDs::tubeButton, 1.0f);
    setPlain (processor, ParameterIDs::uConsole, 1.0f); // "OfConsole" stays on too
    processor.grain.driveMode.store (GrainMath::tape);
    const auto parametersBefore = parameterValues (processor);

    OpenEditor editor (processor);
    EditorTestSupport::pump();

    // Soft comes first among the modes that are on, and no console was ever handed over.
    EXPECT_TRUE (editor->softButton.getToggleState());
    EXPECT_FALSE (editor->tubeButton.getToggleState());
    EXPECT_TRUE (editor->offConsoleButton.getToggleState());
    EXPECT_FALSE (editor->uConsoleButton.getToggleState());
    EXPECT_EQ (parameterValues (processor), parametersBefore);

    // Still no handler ran: the engine's mode and console are untouched.
    EXPECT_EQ (processor.grain.driveMode.load(), GrainMath::tape);
    EXPECT_TRUE (processor.console.off.load());
    EXPECT_EQ (processor.consoleIndex.load(), 1);
}

TEST (EditorLife, KnobsShowTheParameterTextAndTheirUnit)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);

    EXPECT_EQ (editor->mixKnob.getTextFromValue (editor->mixKnob.getValue()), "100 %");
    EXPECT_EQ (editor->driveKnob.getTextFromValue (editor->driveKnob.getValue()), "0.0 dB");
    EXPECT_EQ (editor->outputKnob.getTextFromValue (editor->outputKnob.getValue()), "0.0dB");
    EXPECT_EQ (editor->grainKnob.getTextFromValue (editor->grainKnob.getValue()), "0.0 %");
    EXPECT_EQ (editor->cleanBassKnob.getTextFromValue (editor->cleanBassKnob.getValue()), "0.0 dB");
    EXPECT_EQ (editor->brightnessKnob.getTextFromValue (editor->brightnessKnob.getValue()), "0.0 dB");

    // The range comes from the parameter.
    EXPECT_EQ (editor->driveKnob.getMinimum(), 0.0);
    EXPECT_EQ (editor->driveKnob.getMaximum(), 50.0);
    EXPECT_EQ (editor->driveKnob.getSliderStyle(), juce::Slider::RotaryHorizontalVerticalDrag);

    // Captions follow their knobs and carry their texts.
    EXPECT_EQ (editor->cleanBassLabel.getText(), "CLEAN BASS");
    EXPECT_EQ (editor->cleanBassLabel.getAttachedComponent(), &editor->cleanBassKnob);
    EXPECT_EQ (editor->mixLabel.getText(), "MIX");
    EXPECT_EQ (editor->consoleLabel.getText(), "CONSOLE");
}

TEST (EditorLife, ChildrenStackWithTheScopeOnTop)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    auto& e = *editor;

    const juce::Component* expected[] = { &e.softButton, &e.tubeButton, &e.tapeButton, &e.distoButton, &e.fuzzButton, &e.offConsoleButton, &e.uConsoleButton, &e.aConsoleButton, &e.sConsoleButton, &e.nConsoleButton, &e.powerButton, &e.presetsButton, &e.previousPresetButton, &e.nextPresetButton, &e.oversamplingButton, &e.cleanBassKnob, &e.cleanBassLabel, &e.brightnessKnob, &e.brightnessLabel, &e.driveKnob, &e.driveLabel, &e.grainKnob, &e.grainLabel, &e.outputKnob, &e.outputLabel, &e.mixKnob, &e.mixLabel, &e.consoleLabel, &e.frame };

    ASSERT_EQ (e.getNumChildComponents(), (int) std::size (expected));

    for (int i = 0; i < (int) std::size (expected); ++i)
        EXPECT_EQ (e.getChildComponent (i), expected[i]) << "child " << i;

    EXPECT_EQ (e.analyser.getParentComponent(), &e.frame);
    EXPECT_TRUE (e.analyser.isVisible());

    EXPECT_TRUE (e.presetsButton.getClickingTogglesState());
    EXPECT_FALSE (e.previousPresetButton.getClickingTogglesState());
    EXPECT_FALSE (e.nextPresetButton.getClickingTogglesState());
    EXPECT_FALSE (e.oversamplingButton.getClickingTogglesState()) << "it opens a menu, it is never lit";
    EXPECT_EQ (e.distoButton.getRadioGroupId(), 1);
    EXPECT_EQ (e.nConsoleButton.getRadioGroupId(), 2);
    EXPECT_EQ (e.presetsButton.findColour (juce::TextButton::textColourOffId), blackUltraQuelm);
    EXPECT_EQ (e.presetsButton.findColour (juce::TextButton::textColourOnId), greyWhiteQuelm);
}

TEST (EditorLife, FeedIsOpenWhileTheEditorLivesAndClosedAfter)
{
    MorvantaProcessor processor;
    ProcessorTestSupport::prepare (processor, 48000.0, 512);

    {
        OpenEditor editor (processor);
        EXPECT_TRUE (processor.analyserActive.load());
        EXPECT_EQ (processor.analyserFifo.getTotalSize(), 48000);
        EXPECT_EQ (processor.analyserBuffer.getNumSamples(), 48000);
        EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &editor->look);
    }

    EXPECT_FALSE (processor.analyserActive.load());
    EXPECT_EQ (processor.analyserFifo.getTotalSize(), 48000) << "the FIFO keeps its size";
}

TEST (EditorLife, ClosingWithThePresetMenuOpenClosesIt)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    editor.showOnDesktop();

    juce::PopupMenu menu;
    menu.addItem (1, "item");
    int result = -1;
    menu.showMenuAsync (juce::PopupMenu::Options().withTargetComponent (&editor->presetsButton), [&] (int r)
        { result = r; });
    EditorTestSupport::pump();
    ASSERT_EQ (EditorTestSupport::menuWindows().size(), 1u);

    editor.close();
    EditorTestSupport::pump();

    EXPECT_TRUE (EditorTestSupport::menuWindows().empty());
    EXPECT_EQ (result, 0);
}
