#include <gtest/gtest.h>

#include <cmath>

#include "engine/dsp/Crossfade.h"
#include "tests/engine/ProcessorTestSupport.h"

using namespace ProcessorTestSupport;
using Signals::noise;
using Signals::silence;

namespace
{
bool identical (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
        return false;

    for (int c = 0; c < a.getNumChannels(); ++c)
        if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * static_cast<size_t> (a.getNumSamples())) != 0)
            return false;

    return true;
}

double rms (const juce::AudioBuffer<float>& b, int channel, int start, int n)
{
    double sum = 0.0;

    for (int i = start; i < start + n; ++i)
        sum += static_cast<double> (b.getSample (channel, i)) * b.getSample (channel, i);

    return std::sqrt (sum / n);
}

/** Renders `frames` of a sine through processBlock in blocks of `block`, into one buffer. */
juce::AudioBuffer<float> render (MorvantaProcessor& p, int frames, int block, double frequency, float amplitude)
{
    const int channels = p.getTotalNumOutputChannels();
    auto all = make (channels, frames, [&] (int, int i)
        { return sine (frequency, p.spec.sampleRate, i, amplitude); });
    juce::MidiBuffer midi;

    for (int start = 0; start < frames; start += block)
    {
        juce::AudioBuffer<float> view (all.getArrayOfWritePointers(), channels, start, juce::jmin (block, frames - start));
        p.processBlock (view, midi);
    }

    return all;
}
} // namespace

TEST (ChunkChain, DriveModeFollowsTheFirstModeParameterThatIsOn)
{
    MorvantaProcessor p;
    prepare (p, 44100.0, 64);
    auto chunk = [&]
    {
        auto b = silence (2, 16);
        p.processChunk (b);
        return p.grain.driveMode.load();
    };

    EXPECT_EQ (chunk(), GrainMath::soft) << "defaults";

    setPlain (p, "FuzzButton", 1.0f);
    EXPECT_EQ (chunk(), GrainMath::soft) << "Soft + Fuzz";

    setPlain (p, "SoftButton", 0.0f);
    setPlain (p, "TapeButton", 1.0f);
    EXPECT_EQ (chunk(), GrainMath::tape) << "Tape + Fuzz";

    setPlain (p, "TubeButton", 1.0f);
    EXPECT_EQ (chunk(), GrainMath::tube) << "Tube + Tape + Fuzz";

    setPlain (p, "TubeButton", 0.0f);
    setPlain (p, "TapeButton", 0.0f);
    EXPECT_EQ (chunk(), GrainMath::fuzz) << "Fuzz alone";

    // The editor's DISTO button: every mode parameter off, mode 3 written directly.
    setPlain (p, "FuzzButton", 0.0f);
    p.grain.driveMode = GrainMath::disto;
    EXPECT_EQ (chunk(), GrainMath::disto);
    EXPECT_EQ (chunk(), GrainMath::disto);
    EXPECT_EQ (p.grain.installedMode, GrainMath::disto) << "Disto must stay in use";

    // Any mode parameter turning on takes over again.
    setPlain (p, "TubeButton", 1.0f);
    EXPECT_EQ (chunk(), GrainMath::tube);
}

TEST (ChunkChain, PowerIsOffOnlyBelowHalf)
{
    MorvantaProcessor p;
    prepare (p, 44100.0, 64);
    auto& onButton = *p.parameters.getRawParameterValue ("onButton");
    auto b = silence (2, 16);

    onButton = 0.5f;
    p.effectOff = true; // as the editor's power button might have left it
    p.processChunk (b);
    EXPECT_FALSE (p.effectOff.load()) << "0.5 counts as on";

    onButton = 0.49f;
    p.processChunk (b);
    EXPECT_TRUE (p.effectOff.load());

    onButton = 1.0f;
    p.processChunk (b);
    EXPECT_FALSE (p.effectOff.load());
}

TEST (ChunkChain, PowerFullyOffPassesAudioUntouchedAndFeedsNothing)
{
    MorvantaProcessor p;
    setPlain (p, "onButton", 0.0f);
    setPlain (p, "Drive", 30.0f);
    setPlain (p, "CleanBass", 12.0f);
    prepare (p, 44100.0, 256);
    p.openSpectrumFeed();

    for (int chunk = 0; chunk < 8; ++chunk)
    {
        auto buffer = noise (2, 256, chunk, 0.3f);
        const juce::AudioBuffer<float> input (buffer);
        p.processChunk (buffer);
        ASSERT_TRUE (identical (buffer, input)) << "chunk " << chunk << ": the first chunk after a preparation must not fade either";
    }

    EXPECT_EQ (p.bypassMix, 0.0f);
    EXPECT_EQ (p.analyserFifo.getNumReady(), 0);
    EXPECT_FALSE (p.analyserDataReady.load());
    EXPECT_EQ (p.cleanBassSmoothed.getCurrentValue(), 0.0f) << "nothing advances while skipped";
}

TEST (PowerCrossfade, FadesLinearlyOverNineHundredSixtyOneSamplesAt48k)
{
    // Twin instances see the same input; one keeps the power on and gives the processed signal
    // that the other must blend with its input while it fades.
    MorvantaProcessor on, fading;

    for (auto* p : { &on, &fading })
    {
        setPlain (*p, "Drive", 12.0f);
        prepare (*p, 48000.0, 256);
        p->openSpectrumFeed();
        feedSine (*p, 0.4, 256, 220.0, 0.4f);
    }

    setPlain (fading, "onButton", 0.0f);
    const float step = 1.0f / 960.0f;
    float m = 1.0f;
    int samples = 0;
    juce::int64 frame = static_cast<juce::int64> (0.4 * 48000.0);

    for (int chunk = 0; chunk < 5; ++chunk)
    {
        auto input = make (2, 256, [&] (int c, int i)
            { return sine (220.0 + 30.0 * c, 48000.0, frame + i, 0.4f); });
        auto processed = input, blended = input;
        on.processChunk (processed);
        fading.processChunk (blended);
        frame += 256;

        for (int i = 0; i < 256; ++i)
        {
            if (m > 0.0f)
                ++samples;

            m = juce::jmax (m - step, 0.0f);

            for (int c = 0; c < 2; ++c)
            {
                const float expected = processed.getSample (c, i) * m + input.getSample (c, i) * (1.0f - m);
                ASSERT_NEAR (blended.getSample (c, i), expected, 1e-6f) << "chunk " << chunk << " sample " << i;
            }
        }

        EXPECT_EQ (fading.bypassMix, m);
    }

    EXPECT_EQ (samples, 961);
    EXPECT_EQ (fading.bypassMix, 0.0f);

    // Pushed through the fade (the processed signal), then nothing once fully off.
    const int readyAfterFade = fading.analyserFifo.getNumReady();
    auto after = make (2, 256, [&] (int, int i)
        { return sine (220.0, 48000.0, frame + i, 0.4f); });
    const juce::AudioBuffer<float> input (after);
    fading.processChunk (after);
    EXPECT_TRUE (identical (after, input));
    EXPECT_EQ (fading.analyserFifo.getNumReady(), readyAfterFade);
}

TEST (PowerCrossfade, ReversalContinuesFromCurrentPosition)
{
    MorvantaProcessor p;
    prepare (p, 48000.0, 240);
    feedSine (p, 0.1, 240, 440.0, 0.3f);

    setPlain (p, "onButton", 0.0f);
    feedSine (p, 480.0 / 48000.0, 240, 440.0, 0.3f);
    const float halfway = p.bypassMix;
    EXPECT_NEAR (halfway, 0.5f, 1e-4f);

    setPlain (p, "onButton", 1.0f);
    feedSine (p, 240.0 / 48000.0, 240, 440.0, 0.3f);
    EXPECT_NEAR (p.bypassMix, halfway + 240.0f / 960.0f, 1e-4f);

    feedSine (p, 0.05, 240, 440.0, 0.3f);
    EXPECT_EQ (p.bypassMix, 1.0f);
}

TEST (PowerCrossfade, ZeroBlockSizeSwitchesAtOnce)
{
    MorvantaProcessor p;
    prepare (p, 44100.0, 0);
    juce::MidiBuffer midi;
    auto buffer = noise (2, 64, 1, 0.3f);
    p.processBlock (buffer, midi);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 64; ++i)
            ASSERT_TRUE (std::isfinite (buffer.getSample (c, i)));

    setPlain (p, "onButton", 0.0f);
    auto first = noise (2, 1, 2, 0.3f);
    p.processBlock (first, midi);
    EXPECT_EQ (p.bypassMix, 0.0f) << "no crossfade copy fits, so the power jumps";

    auto next = noise (2, 32, 3, 0.3f);
    const juce::AudioBuffer<float> input (next);
    p.processBlock (next, midi);
    EXPECT_TRUE (identical (next, input));
}

TEST (PowerCrossfade, SharedBlendIsExactStopsAtTheTargetAndSparesChannelsWithoutACopy)
{
    auto processed = noise (3, 3, 4, 0.3f);
    auto dry = noise (2, 3, 5, 0.3f);
    const juce::AudioBuffer<float> before (processed);

    // Steps of 1/3 from 0.5: the second one would pass 1 and stops there.
    EXPECT_EQ (Crossfade::blend (juce::dsp::AudioBlock<float> (processed), dry, 0.5f, 1.0f, 3), 1.0f);
    const float mixes[] = { 0.5f + 1.0f / 3.0f, 1.0f, 1.0f };

    for (int i = 0; i < 3; ++i)
    {
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ (processed.getSample (c, i), before.getSample (c, i) * mixes[i] + dry.getSample (c, i) * (1.0f - mixes[i])) << c << " " << i;

        EXPECT_EQ (processed.getSample (2, i), before.getSample (2, i)) << "no dry copy of channel 2";
    }

    auto longer = noise (2, 4, 6, 0.3f);
    EXPECT_FALSE (Crossfade::keepDry (juce::dsp::AudioBlock<float> (longer), dry)) << "a block longer than the copy is not kept";
    EXPECT_EQ (Crossfade::lengthInSamples (10.0), 1) << "a fade lasts at least one sample";
}

TEST (ChunkChain, UnpreparedProcessorLeavesAudioUnchanged)
{
    MorvantaProcessor p;
    juce::MidiBuffer midi;
    auto buffer = noise (2, 40, 4, 0.3f);
    const juce::AudioBuffer<float> input (buffer);
    p.processBlock (buffer, midi);
    EXPECT_TRUE (identical (buffer, input));
}

TEST (ChunkChain, MixZeroGivesTheDryInputAfterTheMixerRamp)
{
    MorvantaProcessor p;
    setPlain (p, "Mix", 0.0f);
    setPlain (p, "Drive", 40.0f);
    setPlain (p, "CleanBass", 20.0f);
    setPlain (p, "Output", 20.0f);
    prepare (p, 44100.0, 441);

    const int rampFrames = 2205; // the mixer's 0.05 s
    auto input = make (2, 4410, [] (int c, int i)
        { return sine (100.0 + 50.0 * c, 44100.0, i, 0.5f); });
    auto output = input;
    juce::MidiBuffer midi;

    for (int start = 0; start < 4410; start += 441)
    {
        juce::AudioBuffer<float> view (output.getArrayOfWritePointers(), 2, start, 441);
        p.processBlock (view, midi);
    }

    for (int c = 0; c < 2; ++c)
        for (int i = rampFrames; i < 4410; ++i)
            ASSERT_EQ (output.getSample (c, i), input.getSample (c, i)) << "channel " << c << " frame " << i;
}

TEST (ChunkChain, CleanBassAddsTheLowEndFromMinusTenToPlusFortyDecibels)
{
    // Three instances differ only in Clean Bass; the clean low end is added after everything
    // else, so their differences are (g - g0) times the low end of the input.
    const double rate = 44100.0;
    const int frames = 48000, block = 512;
    MorvantaProcessor a, b, c;
    setPlain (b, "CleanBass", 4.0f);
    setPlain (c, "CleanBass", 20.0f);

    std::vector<juce::AudioBuffer<float>> outputs;

    for (auto* p : { &a, &b, &c })
    {
        prepare (*p, rate, block);
        outputs.push_back (render (*p, frames, block, 50.0, 0.1f));
    }

    juce::dsp::IIR::Filter<float> lowEnd (juce::dsp::IIR::Coefficients<float>::makeHighShelf (rate, 140.0f, 0.4f, 0.001f));
    std::vector<float> low (static_cast<size_t> (frames));

    for (int i = 0; i < frames; ++i)
        low[static_cast<size_t> (i)] = lowEnd.processSample (sine (50.0, rate, i, 0.1f));

    const double g0 = std::pow (10.0, -0.5), g4 = 1.0, g20 = 100.0;
    double peak = 0.0;

    for (int i = frames - 2000; i < frames; ++i)
        peak = juce::jmax (peak, std::abs (static_cast<double> (low[static_cast<size_t> (i)])));

    ASSERT_GT (peak, 0.01);
    int checked = 0;

    for (int i = frames - 2000; i < frames; ++i)
    {
        const double l = low[static_cast<size_t> (i)];

        if (std::abs (l) < 0.5 * peak)
            continue;

        const double base = outputs[0].getSample (0, i);
        EXPECT_NEAR ((outputs[1].getSample (0, i) - base) / l, g4 - g0, 2e-3) << i;
        EXPECT_NEAR ((outputs[2].getSample (0, i) - base) / l, g20 - g0, 0.05) << i;
        ++checked;
    }

    EXPECT_GT (checked, 500);
}

TEST (ChunkChain, BrightnessIsHeardFromTheChunkAfterItChanges)
{
    MorvantaProcessor flat, bright;
    setPlain (bright, "Brightness", 18.0f);

    for (auto* p : { &flat, &bright })
        prepare (*p, 44100.0, 256);

    auto run = [&] (int seed)
    {
        auto x = noise (2, 256, seed, 0.3f), y = x;
        flat.processChunk (x);
        bright.processChunk (y);
        return identical (x, y);
    };

    EXPECT_TRUE (run (1)) << "the first chunk after a preparation uses the flat shelf";
    EXPECT_FALSE (run (2));

    setPlain (bright, "Brightness", 0.0f);
    feedSine (flat, 0.6, 256, 300.0, 0.2f);
    feedSine (bright, 0.6, 256, 300.0, 0.2f); // the 0.5 s ramp back to flat has ended

    setPlain (bright, "Brightness", -9.0f);
    auto x = noise (2, 256, 3, 0.3f), y = x;
    flat.processChunk (x);
    bright.processChunk (y);
    double difference = 0.0;

    for (int i = 0; i < 256; ++i)
        difference = juce::jmax (difference, static_cast<double> (std::abs (x.getSample (0, i) - y.getSample (0, i))));

    EXPECT_LT (difference, 1e-5) << "the change must not be heard in its own chunk";
    EXPECT_FALSE (run (4)) << "but in the next one";
}

TEST (ChunkChain, FreshInstanceFadesInOverPointThreeSeconds)
{
    MorvantaProcessor p;
    prepare (p, 44100.0, 441);
    const auto out = render (p, 44100, 441, 1000.0, 0.25f);

    EXPECT_LT (std::abs (out.getSample (0, 1)), 1e-5f);
    const double start = rms (out, 0, 0, 441);
    const double rising = rms (out, 0, 6615, 441); // around 0.15 s
    const double settled = rms (out, 0, 15435, 4410); // 0.35 s to 0.45 s
    const double later = rms (out, 0, 30870, 4410); // 0.7 s to 0.8 s

    EXPECT_LT (start, 0.01 * settled);
    EXPECT_GT (rising, 0.02 * settled);
    EXPECT_LT (rising, 0.5 * settled);
    EXPECT_NEAR (settled / later, 1.0, 0.02);
}

TEST (ChunkChain, EmptyChunkMovesNothing)
{
    MorvantaProcessor p;
    setPlain (p, "CleanBass", 10.0f);
    prepare (p, 44100.0, 64);
    auto buffer = noise (2, 64, 5, 0.3f);
    p.processChunk (buffer);
    const float cleanBass = p.cleanBassSmoothed.getCurrentValue();
    ASSERT_GT (cleanBass, 0.0f);

    setPlain (p, "onButton", 0.0f);
    juce::AudioBuffer<float> empty (2, 0);
    p.processChunk (empty);
    EXPECT_EQ (p.cleanBassSmoothed.getCurrentValue(), cleanBass);
    EXPECT_EQ (p.bypassMix, 1.0f) << "a fade needs samples to move";
}

TEST (ChunkChain, ConsoleThresholdFollowsDriveWithoutAnEditor)
{
    MorvantaProcessor p;
    setPlain (p, "Drive", 50.0f);
    prepare (p, 44100.0, 128);
    auto silence = [&]
    {
        auto b = Signals::silence (2, 128);
        p.processChunk (b);
    };

    silence();
    EXPECT_EQ (p.console.getAppliedThresholdDb(), -35.0f);

    // Hosts re-prepare at every play start: the same settings must keep the same threshold.
    prepare (p, 44100.0, 128);
    silence();
    EXPECT_EQ (p.console.getAppliedThresholdDb(), -35.0f);

    // Automation with no editor open.
    setPlain (p, "Drive", 20.0f);
    silence();
    EXPECT_EQ (p.console.getAppliedThresholdDb(), static_cast<float> (static_cast<double> (raw (p, "Drive")) * -0.7));

    // The editor's call yields the same value.
    p.console.setThreshold (raw (p, "Drive"));
    silence();
    EXPECT_EQ (p.console.getAppliedThresholdDb(), static_cast<float> (static_cast<double> (raw (p, "Drive")) * -0.7));
}

TEST (ChunkChain, LowSampleRatesStayFiniteWithEveryShelfAndMode)
{
    // At these rates the fixed 7 kHz shelf and 11 kHz low-pass no longer fit below Nyquist.
    for (const double rate : { 8000.0, 11025.0, 16000.0, 22050.0 })
    {
        for (const float brightness : { -9.0f, 18.0f })
        {
            SCOPED_TRACE (juce::String (rate) + " Hz, Brightness " + juce::String (brightness));
            MorvantaProcessor p;
            setPlain (p, "Brightness", brightness);
            setPlain (p, "Drive", 50.0f);
            setPlain (p, "Grain", 100.0f);
            prepare (p, rate, 256);
            juce::Random random (8);
            juce::MidiBuffer midi;
            float peak = 0.0f;

            for (int chunk = 0; chunk < static_cast<int> (rate) / 128; ++chunk)
            {
                if (chunk % 20 == 0)
                    p.grain.driveMode = (chunk / 20) % GrainMath::numModes;

                auto buffer = noise (2, 256, random, 0.5f);
                p.processBlock (buffer, midi);

                for (int c = 0; c < 2; ++c)
                    for (int i = 0; i < 256; ++i)
                    {
                        ASSERT_TRUE (std::isfinite (buffer.getSample (c, i))) << "chunk " << chunk;
                        peak = juce::jmax (peak, std::abs (buffer.getSample (c, i)));
                    }
            }

            EXPECT_LT (peak, 10.0f);
        }
    }
}
