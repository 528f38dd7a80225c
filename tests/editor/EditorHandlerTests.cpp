#include <gtest/gtest.h>

#include "engine/ParameterIDs.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/engine/ProcessorTestSupport.h"

using EditorTestSupport::OpenEditor;
using ProcessorTestSupport::raw;
using ProcessorTestSupport::setPlain;

TEST (DriveModeButtons, ClicksWriteTheModeAndDistoLeavesEveryModeParameterOff)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    editor.showOnDesktop();

    editor.click (editor->distoButton);
    EXPECT_EQ (processor.grain.driveMode.load(), GrainMath::disto);
    EXPECT_TRUE (editor->distoButton.getToggleState());

    for (auto* id : { ParameterIDs::softButton, ParameterIDs::tubeButton, ParameterIDs::tapeButton, ParameterIDs::fuzzButton })
        EXPECT_EQ (raw (processor, id), 0.0f) << id;

    const std::pair<juce::TextButton*, int> modes[] = { { &editor->softButton, GrainMath::soft }, { &editor->tubeButton, GrainMath::tube }, { &editor->tapeButton, GrainMath::tape }, { &editor->fuzzButton, GrainMath::fuzz } };

    for (const auto& [button, mode] : modes)
    {
        editor.click (*button);
        EXPECT_EQ (processor.grain.driveMode.load(), mode) << button->getButtonText();
        EXPECT_TRUE (button->getToggleState());
    }

    // A click on the button that is on keeps it on and writes its mode again.
    editor.click (editor->softButton);
    processor.grain.driveMode.store (GrainMath::tape);
    editor.click (editor->softButton);
    EXPECT_TRUE (editor->softButton.getToggleState());
    EXPECT_EQ (raw (processor, ParameterIDs::softButton), 1.0f);
    EXPECT_EQ (processor.grain.driveMode.load(), GrainMath::soft);
}

TEST (DriveModeButtons, HostSwitchingAModeOnWhileTheEditorIsOpenActsAtOnce)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);

    setPlain (processor, ParameterIDs::tubeButton, 1.0f);
    EXPECT_EQ (processor.grain.driveMode.load(), GrainMath::tube) << "before any chunk runs";
    EXPECT_TRUE (editor->tubeButton.getToggleState());
    EXPECT_EQ (raw (processor, ParameterIDs::softButton), 0.0f) << "the radio group switched SOFT off";

    // Switching a mode off does nothing: the handler of the button left off returns.
    processor.grain.driveMode.store (GrainMath::fuzz);
    setPlain (processor, ParameterIDs::tubeButton, 0.0f);
    EXPECT_EQ (processor.grain.driveMode.load(), GrainMath::fuzz);
}

TEST (PowerButton, AClickActsAtOnceButHostChangesAreLeftToTheEngine)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    editor.showOnDesktop();

    editor.click (editor->powerButton);
    EXPECT_FALSE (editor->powerButton.getToggleState());
    EXPECT_EQ (raw (processor, ParameterIDs::onButton), 0.0f);
    EXPECT_TRUE (processor.effectOff.load()) << "set before any chunk runs";

    editor.click (editor->powerButton);
    EXPECT_EQ (raw (processor, ParameterIDs::onButton), 1.0f);
    EXPECT_FALSE (processor.effectOff.load());

    // Host automation while the pointer is elsewhere: the button follows, the flag waits for the
    // engine's next chunk.
    editor.leave();
    setPlain (processor, ParameterIDs::onButton, 0.0f);
    EXPECT_FALSE (editor->powerButton.getToggleState());
    EXPECT_FALSE (processor.effectOff.load());

    ProcessorTestSupport::prepare (processor, 48000.0, 64);
    ProcessorTestSupport::feedSine (processor, 0.01, 64, 440.0, 0.1f);
    EXPECT_TRUE (processor.effectOff.load());
}

TEST (DriveKnob, SetsTheConsoleThresholdFromUserMovesAndAutomation)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    ASSERT_TRUE (processor.console.off.load()) << "with no console on as well";

    editor->driveKnob.setValue (50.0, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ (processor.console.getRequestedThresholdDb(), -35.0f);
    EXPECT_EQ (raw (processor, ParameterIDs::drive), 50.0f);

    setPlain (processor, ParameterIDs::drive, 10.0f);
    EXPECT_FLOAT_EQ (processor.console.getRequestedThresholdDb(), -7.0f);

    editor->driveKnob.setValue (0.0, juce::sendNotificationSync);
    EXPECT_EQ (processor.console.getRequestedThresholdDb(), 0.0f);
}
