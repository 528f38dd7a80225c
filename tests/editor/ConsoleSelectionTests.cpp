#include <gtest/gtest.h>

#include <thread>

#include "editor/Palette.h"
#include "engine/state/ParameterIDs.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/engine/ProcessorTestSupport.h"
#include "tests/support/ConsoleWav.h"
#include "tests/support/MessageLoop.h"
#include "tests/support/ScratchFolder.h"

using EditorTestSupport::OpenEditor;
using ProcessorTestSupport::raw;
using ProcessorTestSupport::setPlain;

namespace
{
juce::TextButton& buttonOf (MorvantaProcessorEditor& e, int index)
{
    juce::TextButton* buttons[] = { &e.offConsoleButton, &e.uConsoleButton, &e.aConsoleButton, &e.sConsoleButton, &e.nConsoleButton };
    return *buttons[index - 1];
}

void runOneChunk (MorvantaProcessor& p)
{
    auto chunk = ProcessorTestSupport::make (2, 64, [] (int, int i)
        { return 0.1f * (float) (i % 7); });
    juce::MidiBuffer midi;
    p.processBlock (chunk, midi);
}

} // namespace

TEST (ConsoleButtons, EachConsoleHandsOverItsResponseWithPolarityMakeupAndThreshold)
{
    MorvantaProcessor processor;
    setPlain (processor, ParameterIDs::drive, 50.0f);
    OpenEditor editor (processor);
    editor.showOnDesktop();

    for (const auto& e : ConsoleWav::table())
    {
        SCOPED_TRACE (e.name);
        processor.console.setThreshold (0.0f);

        editor.click (buttonOf (*editor, e.index));

        EXPECT_EQ (processor.consoleIndex.load(), e.index);
        EXPECT_FALSE (processor.console.off.load());
        EXPECT_EQ (processor.console.invertIR, e.negated);
        EXPECT_EQ (processor.console.hotMakeup.load(), e.hot);
        EXPECT_FLOAT_EQ (processor.console.getRequestedThresholdDb(), -35.0f);
        ASSERT_TRUE (processor.console.irPending);
        EXPECT_EQ (processor.console.pendingIRSampleRate, 88200.0f);
        EXPECT_EQ (processor.console.pendingIR.getNumChannels(), 1);
        EXPECT_EQ (ConsoleWav::samplesOf (processor.console.pendingIR), ConsoleWav::handedOver (e));
    }

    // "N" has no parameter; choosing it switches the other four off.
    for (auto* id : { ParameterIDs::ofConsole, ParameterIDs::uConsole, ParameterIDs::aConsole, ParameterIDs::sConsole })
        EXPECT_EQ (raw (processor, id), 0.0f) << id;
}

TEST (ConsoleButtons, OffChangesNothingElseAndOnAgainRefreshes)
{
    MorvantaProcessor processor;
    ProcessorTestSupport::prepare (processor, 44100.0, 64);
    OpenEditor editor (processor);
    editor.showOnDesktop();

    editor.click (editor->uConsoleButton);
    runOneChunk (processor);
    ASSERT_FALSE (processor.console.irPending) << "the audio thread took the response";

    editor.click (editor->offConsoleButton);
    EXPECT_TRUE (processor.console.off.load());
    EXPECT_EQ (processor.consoleIndex.load(), 1);
    EXPECT_TRUE (processor.console.invertIR);
    EXPECT_TRUE (processor.console.hotMakeup.load());
    EXPECT_EQ (processor.console.getRequestedThresholdDb(), 0.0f);
    EXPECT_FALSE (processor.console.irPending);

    // DRIVE 0 gives 0 dB; clicking "U" again brings the same response and the 19 dB makeup back.
    editor.click (editor->uConsoleButton);
    EXPECT_FALSE (processor.console.off.load());
    EXPECT_EQ (processor.console.getRequestedThresholdDb(), 0.0f);
    EXPECT_TRUE (processor.console.irPending);
    runOneChunk (processor);

    // A click on the console that is on decodes again and takes the threshold from DRIVE again.
    processor.console.setThreshold (3.0f);
    setPlain (processor, ParameterIDs::drive, 50.0f); // moves the knob, whose handler follows
    processor.console.setThreshold (3.0f);
    editor.click (editor->uConsoleButton);
    EXPECT_TRUE (editor->uConsoleButton.getToggleState());
    EXPECT_FLOAT_EQ (processor.console.getRequestedThresholdDb(), -35.0f);
    EXPECT_TRUE (processor.console.irPending);
    EXPECT_EQ (ConsoleWav::samplesOf (processor.console.pendingIR), ConsoleWav::handedOver (ConsoleWav::table()[0]));
}

TEST (ConsoleButtons, OnlyTheSecondOfTwoQuickChoicesReachesTheConvolution)
{
    MorvantaProcessor processor;
    ProcessorTestSupport::prepare (processor, 44100.0, 64);
    OpenEditor editor (processor);
    editor.showOnDesktop();

    editor.click (editor->uConsoleButton);
    editor.click (editor->aConsoleButton);

    const auto a = ConsoleWav::table()[1];
    EXPECT_EQ (ConsoleWav::samplesOf (processor.console.pendingIR), ConsoleWav::handedOver (a));
    EXPECT_FALSE (processor.console.hotMakeup.load());

    runOneChunk (processor);
    EXPECT_FALSE (processor.console.irPending);
    EXPECT_EQ (processor.console.pendingEngineResponse.getNumSamples(), 0) << "moved into the convolution";

    runOneChunk (processor);
    EXPECT_FALSE (processor.console.irPending) << "nothing else was waiting";
}

TEST (ConsoleButtons, ParametersReachTheStageOnlyWhileAnEditorIsOpen)
{
    MorvantaProcessor processor;
    const ScratchFolder scratch ("morvanta-presets");
    const auto& folder = scratch.getFile();

    {
        OpenEditor editor (processor);
        editor.showOnDesktop();

        editor.click (editor->nConsoleButton);
        ASSERT_FALSE (processor.console.off.load());

        processor.loadPreset (EditorTestSupport::writePreset (folder, "0-Off.mrv", { { ParameterIDs::ofConsole, 1.0f } }));
        EXPECT_TRUE (processor.console.off.load()) << "the preset turned \"OfConsole\" on";
        EXPECT_EQ (processor.consoleIndex.load(), 1);

        // Host automation of a console parameter acts the same way.
        setPlain (processor, ParameterIDs::sConsole, 1.0f);
        EXPECT_FALSE (processor.console.off.load());
        EXPECT_EQ (processor.consoleIndex.load(), 4);
        EXPECT_TRUE (processor.console.invertIR);
    }

    // With no editor open the stage keeps its setting.
    setPlain (processor, ParameterIDs::ofConsole, 1.0f);
    EXPECT_FALSE (processor.console.off.load());
    EXPECT_EQ (processor.consoleIndex.load(), 4);
}

TEST (ConsoleButtons, AStateRestoredOffTheMessageThreadPlaysAndShowsItsOwnConsole)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    editor.showOnDesktop();
    editor.click (editor->aConsoleButton);

    // "U" stored while "Of Console" is on, as after automation with no window open. Restored
    // off the message thread, the buttons hear of its parameters only through the message loop.
    MorvantaProcessor saved;
    saved.consoleIndex.store (2);
    juce::MemoryBlock state;
    saved.getStateInformation (state);
    std::thread ([&]
        { processor.setStateInformation (state.getData(), (int) state.getSize()); })
        .join();
    MessageLoop::pump (100);

    EXPECT_EQ (processor.consoleIndex.load(), 2);
    EXPECT_FALSE (processor.console.off.load()) << "the late \"Of Console\" switched the console off";
    EXPECT_TRUE (editor->uConsoleButton.getToggleState());
    EXPECT_FALSE (editor->offConsoleButton.getToggleState() || editor->aConsoleButton.getToggleState());
}

TEST (ConsoleCaption, LightsWhileTheUserPointsAtAConsoleButNotAtOff)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    editor.showOnDesktop();
    auto colour = [&]
    { return editor->consoleLabel.findColour (juce::Label::textColourId); };

    ASSERT_EQ (colour(), blackQuelm);

    editor.hover (editor->aConsoleButton);
    EXPECT_EQ (colour(), greyWhiteQuelm);
    editor.leave();
    EXPECT_EQ (colour(), blackQuelm);

    editor.hover (editor->offConsoleButton);
    EXPECT_EQ (colour(), blackQuelm);

    for (auto* b : { &editor->uConsoleButton, &editor->sConsoleButton, &editor->nConsoleButton })
    {
        editor.hover (*b);
        EXPECT_EQ (colour(), greyWhiteQuelm) << b->getButtonText();
    }

    // Moving straight from a console to "-" darkens it again.
    editor.hover (editor->offConsoleButton);
    EXPECT_EQ (colour(), blackQuelm);
    editor.leave();
}
