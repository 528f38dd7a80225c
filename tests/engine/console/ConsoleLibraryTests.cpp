#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "engine/console/ConsoleLibrary.h"
#include "engine/state/ParameterIDs.h"
#include "tests/engine/ProcessorTestSupport.h"
#include "tests/support/ConsoleWav.h"

using ProcessorTestSupport::setPlain;

namespace
{
juce::AudioFormatManager& wavFormats()
{
    static juce::AudioFormatManager formats;

    if (formats.getNumKnownFormats() == 0)
        formats.registerBasicFormats();

    return formats;
}

/** A state saved by a processor whose console stage was given `index` with Drive at `drive`. */
juce::MemoryBlock savedWithConsole (int index, float drive)
{
    MorvantaProcessor source;
    setPlain (source, ParameterIDs::drive, drive);
    ConsoleLibrary::applyConsole (source.console, index, drive, wavFormats());
    source.consoleIndex = index;
    juce::MemoryBlock saved;
    source.getStateInformation (saved);
    return saved;
}

juce::MemoryBlock withConsoleAttribute (const juce::MemoryBlock& saved, const juce::String& value)
{
    return ProcessorTestSupport::withStateAttribute (saved, "consoleIndex", value);
}

void restore (MorvantaProcessor& p, const juce::MemoryBlock& state)
{
    p.setStateInformation (state.getData(), (int) state.getSize());
}
} // namespace

TEST (ConsoleLibrary, DecodesSevenFramesAtTheTabledOffsetIntoAZeroPaddedMonoBuffer)
{
    const int wavFrames[] = { 4295, 4824, 2757, 3130 };
    int i = 0;

    for (const auto& e : ConsoleWav::table())
    {
        SCOPED_TRACE (e.name);
        EXPECT_EQ ((int) e.wav.size(), wavFrames[i++]) << "the embedded WAV of this console";

        const auto decoded = ConsoleLibrary::decodeConsoleImpulseResponse (e.index, wavFormats());
        ASSERT_TRUE (decoded.has_value());
        EXPECT_EQ (decoded->sampleRate, 88200.0f);
        ASSERT_EQ (decoded->samples.getNumChannels(), 1);
        ASSERT_EQ (decoded->samples.getNumSamples(), e.length);

        // Decoding never negates: the polarity is the stage's business.
        auto plain = e;
        plain.negated = false;
        EXPECT_EQ (ConsoleWav::samplesOf (decoded->samples), ConsoleWav::handedOver (plain));

        const auto* console = ConsoleLibrary::find (e.index);
        ASSERT_NE (console, nullptr);
        EXPECT_EQ (console->negated, e.negated);
        EXPECT_EQ (console->hotMakeup, e.hot);
    }

    for (const int notAConsole : { (int) ConsoleLibrary::none, 0, 6, -1 })
    {
        EXPECT_EQ (ConsoleLibrary::find (notAConsole), nullptr) << notAConsole;
        EXPECT_FALSE (ConsoleLibrary::decodeConsoleImpulseResponse (notAConsole, wavFormats()).has_value()) << notAConsole;
    }

    juce::AudioFormatManager none;
    EXPECT_FALSE (ConsoleLibrary::decodeConsoleImpulseResponse (ConsoleLibrary::u, none).has_value()) << "no format reads it";
}

TEST (ConsoleLibrary, ApplyingAConsolePublishesItsResponseAndSwitchesOn)
{
    for (const auto& e : ConsoleWav::table())
    {
        SCOPED_TRACE (e.name);
        ConsoleConvolution stage;
        ConsoleLibrary::applyConsole (stage, e.index, 30.0f, wavFormats());

        EXPECT_FALSE (stage.off.load());
        EXPECT_EQ (stage.invertIR, e.negated);
        EXPECT_EQ (stage.hotMakeup.load(), e.hot);
        EXPECT_FLOAT_EQ (stage.getRequestedThresholdDb(), -21.0f);
        EXPECT_TRUE (stage.irPending);
        EXPECT_EQ (stage.pendingIRSampleRate, 88200.0f);
        EXPECT_EQ (ConsoleWav::samplesOf (stage.pendingIR), ConsoleWav::handedOver (e));
    }

    // "-" switches off and touches nothing else.
    ConsoleConvolution stage;
    ConsoleLibrary::applyConsole (stage, ConsoleLibrary::u, 10.0f, wavFormats());
    const auto pending = ConsoleWav::samplesOf (stage.pendingIR);
    ConsoleLibrary::applyConsole (stage, ConsoleLibrary::none, 50.0f, wavFormats());
    EXPECT_TRUE (stage.off.load());
    EXPECT_TRUE (stage.invertIR);
    EXPECT_TRUE (stage.hotMakeup.load());
    EXPECT_FLOAT_EQ (stage.getRequestedThresholdDb(), -7.0f);
    EXPECT_EQ (ConsoleWav::samplesOf (stage.pendingIR), pending);

    // Without a format that reads the WAV the stage is switched on but keeps its response.
    juce::AudioFormatManager noFormats;
    ConsoleConvolution undecodable;
    ConsoleLibrary::applyConsole (undecodable, ConsoleLibrary::a, 20.0f, noFormats);
    EXPECT_FALSE (undecodable.off.load());
    EXPECT_FALSE (undecodable.invertIR);
    EXPECT_FLOAT_EQ (undecodable.getRequestedThresholdDb(), -14.0f);
    EXPECT_FALSE (undecodable.irPending);
}

TEST (ConsoleState, AProjectReopensWithItsConsoleBeforeAnyEditorOpens)
{
    for (const auto& e : ConsoleWav::table())
    {
        SCOPED_TRACE (e.name);
        MorvantaProcessor reopened;
        restore (reopened, savedWithConsole (e.index, 30.0f));

        EXPECT_EQ (reopened.consoleIndex.load(), e.index);
        EXPECT_FALSE (reopened.console.off.load());
        EXPECT_EQ (reopened.console.invertIR, e.negated);
        EXPECT_EQ (reopened.console.hotMakeup.load(), e.hot);
        EXPECT_FLOAT_EQ (reopened.console.getRequestedThresholdDb(), -21.0f) << "from the restored Drive";
        EXPECT_TRUE (reopened.console.irPending);
        EXPECT_EQ (ConsoleWav::samplesOf (reopened.console.pendingIR), ConsoleWav::handedOver (e));
    }

    // A project saved with the console off switches a running console off.
    MorvantaProcessor running;
    ConsoleLibrary::applyConsole (running.console, ConsoleLibrary::s, 0.0f, wavFormats());
    running.consoleIndex = ConsoleLibrary::s;
    restore (running, savedWithConsole (ConsoleLibrary::none, 0.0f));
    EXPECT_TRUE (running.console.off.load());
    EXPECT_EQ (running.consoleIndex.load(), ConsoleLibrary::none);
}

TEST (ConsoleState, ReopenedConsoleIsHeard)
{
    const auto play = [] (MorvantaProcessor& p)
    {
        ProcessorTestSupport::prepare (p, 44100.0, 256);
        ProcessorTestSupport::feedSine (p, 1.0, 256, 220.0, 0.3f);
        auto probe = ProcessorTestSupport::make (2, 256, [] (int, int i)
            { return ProcessorTestSupport::sine (220.0, 44100.0, i, 0.3f); });
        juce::MidiBuffer midi;
        p.processBlock (probe, midi);
        return probe;
    };

    MorvantaProcessor withConsole;
    restore (withConsole, savedWithConsole (ConsoleLibrary::u, 30.0f));
    const auto heard = play (withConsole);

    MorvantaProcessor withoutConsole;
    restore (withoutConsole, withConsoleAttribute (savedWithConsole (ConsoleLibrary::u, 30.0f), ""));
    const auto plain = play (withoutConsole);

    EXPECT_EQ (withConsole.console.getAppliedThresholdDb(), -21.0f);
    EXPECT_GT (std::abs (heard.getRMSLevel (0, 0, 256) - plain.getRMSLevel (0, 0, 256)), 0.01f) << "the console's makeup and compression are heard";
}

TEST (ConsoleState, OldForeignOrMalformedIndexKeepsTheStageAsItIs)
{
    const auto saved = savedWithConsole (ConsoleLibrary::a, 12.0f);

    for (const char* value : { "", "0", "6", "-1", "22", "x", " 2", "2.5" })
    {
        SCOPED_TRACE (value);
        MorvantaProcessor target;
        const auto state = withConsoleAttribute (saved, value);
        restore (target, state);

        EXPECT_TRUE (target.console.off.load()) << "as constructed";
        EXPECT_FALSE (target.console.irPending);
        EXPECT_EQ (target.consoleIndex.load(), ConsoleLibrary::none);
        EXPECT_EQ (target.parameters.getRawParameterValue (ParameterIDs::drive)->load(), 12.0f) << "the parameters are still restored";
    }

    // Damaged data does not reach the console either.
    MorvantaProcessor target;

    for (int cut = 1; cut < (int) saved.getSize(); cut += 5)
        target.setStateInformation (saved.getData(), cut);

    EXPECT_TRUE (target.console.off.load());
    EXPECT_FALSE (target.console.irPending);
}
