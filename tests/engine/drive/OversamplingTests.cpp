#include <gtest/gtest.h>

#include "tests/engine/ProcessorTestSupport.h"

using namespace ProcessorTestSupport;

namespace
{
/** Plays `input` through the processor in blocks of `block`, calling `before (start)` ahead of
    every block, and returns the output. */
template <typename Before>
juce::AudioBuffer<float> playThrough (MorvantaProcessor& p, juce::AudioBuffer<float> buffer, int block, Before&& before, bool bypassedByHost = false)
{
    juce::MidiBuffer midi;

    for (int start = 0; start < buffer.getNumSamples(); start += block)
    {
        before (start);
        juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start, juce::jmin (block, buffer.getNumSamples() - start));

        if (bypassedByHost)
            p.processBlockBypassed (view, midi);
        else
            p.processBlock (view, midi);
    }

    return buffer;
}

juce::AudioBuffer<float> playThrough (MorvantaProcessor& p, juce::AudioBuffer<float> buffer, int block, bool bypassedByHost = false)
{
    return playThrough (
        p, std::move (buffer), block, [] (int) {}, bypassedByHost);
}

/** The first frame from `from` on where `out` differs from `in` delayed by `delay` frames, or -1. */
int firstMismatch (const juce::AudioBuffer<float>& in, const juce::AudioBuffer<float>& out, int delay, int from)
{
    for (int i = from; i < out.getNumSamples(); ++i)
        for (int c = 0; c < out.getNumChannels(); ++c)
            if (out.getSample (c, i) != (i >= delay ? in.getSample (c, i - delay) : 0.0f))
                return i;

    return -1;
}
} // namespace

TEST (Oversampling, EveryDryCopyIsTheInputAsLateAsTheReportedLatency)
{
    const auto input = make (2, 24000, [] (int c, int i)
        { return sine (440.0 + 110.0 * c, 48000.0, i, 0.5f); });

    for (const int factor : { 2, 4, 8 })
    {
        SCOPED_TRACE (factor);

        // Restored before the first block: installed at once, without a fade.
        MorvantaProcessor mixedDry, powerOff, bypassed;

        for (auto* p : { &mixedDry, &powerOff, &bypassed })
        {
            setPlain (*p, "Drive", 30.0f);
            setPlain (*p, "CleanBass", 10.0f);
            prepare (*p, 48000.0, 500);
            p->setOversampling (factor);
        }

        const int latency = mixedDry.getLatencySamples();
        EXPECT_EQ (latency, mixedDry.grain.oversampler.latencyOf (factor));
        EXPECT_GT (latency, 0);

        setPlain (mixedDry, "Mix", 0.0f);
        EXPECT_EQ (firstMismatch (input, playThrough (mixedDry, input, 500), latency, 4800), -1) << "Mix at 0, after the mixer's ramp";
        EXPECT_EQ (mixedDry.grain.getOversampling(), factor);

        setPlain (powerOff, "onButton", 0.0f);
        EXPECT_EQ (firstMismatch (input, playThrough (powerOff, input, 500), latency, 0), -1) << "power off";
        EXPECT_EQ (firstMismatch (input, playThrough (bypassed, input, 500, true), latency, 0), -1) << "the host's bypass";
    }

    MorvantaProcessor plain;
    prepare (plain, 48000.0, 500);
    plain.setOversampling (1);
    EXPECT_EQ (plain.getLatencySamples(), 0);
}

TEST (Oversampling, AChangeFadesOutSwitchesInSilenceAndFadesBackIn)
{
    // A constant input gives a constant output, so the output is the fade's gain times it.
    MorvantaProcessor p;
    setPlain (p, "Drive", 12.0f);
    prepare (p, 48000.0, 64);
    const int fade = Crossfade::lengthInSamples (48000.0);
    const int change = 48000; // past every ramp of a fresh instance

    const auto out = playThrough (p, Signals::constant (2, change + 9600, 0.3f), 64, [&] (int start)
        {
            if (start == change)
            {
                p.setOversampling (4);
                EXPECT_EQ (p.getLatencySamples(), p.grain.oversampler.latencyOf (4)) << "told at once";
                EXPECT_EQ (p.grain.getOversampling(), 1) << "the old factor plays on while it fades";
            } });

    const float steady = out.getSample (0, change - 1);
    ASSERT_GT (steady, 0.1f);
    EXPECT_NEAR (out.getSample (0, change + fade / 2 - 1), steady * 0.5f, 1e-3f) << "falling over 20 ms";

    int silentFrom = -1;

    for (int i = change; i < change + fade + 64 && silentFrom < 0; ++i)
        if (out.getSample (0, i) == 0.0f && out.getSample (1, i) == 0.0f)
            silentFrom = i;

    ASSERT_GE (silentFrom, change + fade - 1) << "silent only once faded out";
    EXPECT_EQ (p.grain.getOversampling(), 4);

    // Back in over 20 ms; the new factor's filters were cleared and fill within its latency.
    EXPECT_LT (Signals::largestStep (out, change, out.getNumSamples()), 4.0f * steady / static_cast<float> (fade)) << "no click";
    EXPECT_NEAR (out.getSample (0, out.getNumSamples() - 1), steady, 1e-4f);
}
