#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <set>
#include <thread>

#include "engine/console/CompressorMath.h"
#include "engine/console/ConsoleConvolution.h"
#include "engine/console/ResponseMath.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/ConsoleWav.h"
#include "tests/support/Signals.h"
#include "tests/support/Sleep.h"

using Signals::constant;
using Signals::noise;

namespace
{
juce::dsp::ProcessSpec specFor (double rate, int block, int channels = 2)
{
    return { rate, static_cast<juce::uint32> (block), static_cast<juce::uint32> (channels) };
}

void run (ConsoleConvolution& console, juce::AudioBuffer<float>& buffer)
{
    juce::dsp::AudioBlock<float> block (buffer);
    console.process (juce::dsp::ProcessContextReplacing<float> (block));
}

juce::AudioBuffer<float> flatResponse (int length, float value)
{
    return constant (1, length, value);
}

double gainOfDb (double db) { return std::pow (10.0, db / 20.0); }

/** Processes silent chunks until the convolution reports a response of `length` samples,
        collecting every size it reports on the way. */
std::set<int> waitForResponseSize (ConsoleConvolution& console, int length, int block)
{
    std::set<int> seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (5);

    while (std::chrono::steady_clock::now() < deadline)
    {
        auto silence = constant (2, block, 0.0f);
        run (console, silence);
        seen.insert (console.convolution.getCurrentIRSize());

        if (console.convolution.getCurrentIRSize() == length)
            break;

        std::this_thread::sleep_for (std::chrono::milliseconds (2));
    }

    return seen;
}
} // namespace

TEST (ConsoleStage, SwitchedOffPassesEveryChunkBitForBit)
{
    ConsoleConvolution console;
    console.prepare (specFor (44100.0, 512));

    for (int chunk = 0; chunk < 4; ++chunk)
    {
        auto buffer = noise (2, 512, chunk, 0.5f);
        const juce::AudioBuffer<float> original (buffer);
        run (console, buffer);

        for (int c = 0; c < 2; ++c)
            ASSERT_EQ (std::memcmp (buffer.getReadPointer (c), original.getReadPointer (c), 512 * sizeof (float)), 0) << "chunk " << chunk;
    }

    // A threshold request alone does not wake the stage.
    console.setThreshold (50.0f);
    auto buffer = noise (2, 64, 9, 0.5f);
    const juce::AudioBuffer<float> original (buffer);
    run (console, buffer);
    EXPECT_EQ (std::memcmp (buffer.getReadPointer (0), original.getReadPointer (0), 64 * sizeof (float)), 0);
}

TEST (ConsoleStage, SwitchingFadesOverTwentyMilliseconds)
{
    const struct
    {
        double rate;
        int samples;
    } cases[] = { { 44100.0, 882 }, { 48000.0, 961 } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.rate);
        ConsoleConvolution console;
        console.prepare (specFor (c.rate, 64));
        auto first = constant (2, 64, 0.0f);
        run (console, first);

        console.switchOn (false, false, 0.0f);
        int samples = 0;

        while (console.mixCurrent < 1.0f && samples < 5000)
        {
            auto one = constant (2, 1, 0.01f);
            run (console, one);
            ++samples;

            if (samples == 1)
            {
                EXPECT_EQ (console.mixCurrent, 1.0f / static_cast<float> (console.fadeLength)) << "the first sample already moves one step";
            }
        }

        EXPECT_EQ (samples, c.samples);

        console.switchOff();
        samples = 0;

        while (console.mixCurrent > 0.0f && samples < 5000)
        {
            auto one = constant (2, 1, 0.01f);
            run (console, one);
            ++samples;
        }

        EXPECT_EQ (samples, c.samples);

        // Faded out: the following chunks pass untouched again.
        auto after = noise (2, 64, 3, 0.5f);
        const juce::AudioBuffer<float> original (after);
        run (console, after);
        EXPECT_EQ (std::memcmp (after.getReadPointer (1), original.getReadPointer (1), 64 * sizeof (float)), 0);
    }
}

TEST (ConsoleStage, FadeInBlendsConsoleOutputWithTheDryInput)
{
    // The default response is a unit impulse and 0.01 stays far below the 0 dB threshold, so the
    // console output is the input times the 17 dB makeup.
    ConsoleConvolution console;
    console.prepare (specFor (44100.0, 256));
    auto warm = constant (2, 256, 0.0f);
    run (console, warm);

    console.switchOn (false, false, 0.0f);
    auto buffer = constant (2, 256, 0.01f);
    run (console, buffer);

    const double wet = 0.01 * gainOfDb (17.0);

    for (const int i : { 0, 1, 100, 255 })
    {
        const double m = (i + 1) / 882.0;
        EXPECT_NEAR (buffer.getSample (0, i), wet * m + 0.01 * (1.0 - m), 1e-5) << i;
        EXPECT_NEAR (buffer.getSample (1, i), buffer.getSample (0, i), 1e-7);
    }
}

TEST (ConsoleStage, MakeupStartsAtFullGainAfterPreparationAndRampsBetweenConsoles)
{
    for (const bool hot : { false, true })
    {
        SCOPED_TRACE (hot ? "U" : "other");
        ConsoleConvolution console;
        console.switchOn (true, hot, 0.0f);
        console.prepare (specFor (44100.0, 1024));

        auto buffer = constant (2, 64, 0.01f);
        run (console, buffer);
        const double expected = 0.01 * gainOfDb (hot ? 19.0 : 17.0);
        EXPECT_NEAR (buffer.getSample (0, 0), expected, expected * 1e-4) << "no ramp from silence";
        EXPECT_NEAR (buffer.getSample (1, 63), expected, expected * 1e-4);
    }

    ConsoleConvolution console;
    console.switchOn (true, true, 0.0f);
    console.prepare (specFor (44100.0, 1024));
    auto first = constant (2, 64, 0.01f);
    run (console, first);

    console.switchOn (false, false, 0.0f); // "U" to "A": 19 dB to 17 dB over 0.02 s
    auto buffer = constant (2, 1024, 0.01f);
    run (console, buffer);

    const double from = gainOfDb (19.0), to = gainOfDb (17.0);

    for (const int i : { 0, 1, 440, 880, 881, 882, 1023 })
    {
        const double gain = i < 882 ? from + (to - from) * (i + 1) / 882.0 : to;
        EXPECT_NEAR (buffer.getSample (0, i) / 0.01, gain, gain * 1e-4) << "sample " << i;
        EXPECT_NEAR (buffer.getSample (1, i), buffer.getSample (0, i), 1e-7);
    }
}

TEST (ConsoleStage, PreparationEndsAFadeAtItsDestination)
{
    ConsoleConvolution console;
    console.prepare (specFor (44100.0, 128));
    auto silence = constant (2, 128, 0.0f);
    run (console, silence);

    console.switchOn (false, false, 0.0f);
    run (console, silence);
    ASSERT_GT (console.mixCurrent, 0.0f);
    ASSERT_LT (console.mixCurrent, 1.0f);

    console.prepare (specFor (44100.0, 128));
    EXPECT_EQ (console.mixCurrent, 1.0f);
    auto buffer = constant (2, 128, 0.01f);
    run (console, buffer);
    EXPECT_EQ (console.mixCurrent, 1.0f);
    EXPECT_NEAR (buffer.getSample (0, 0), 0.01 * gainOfDb (17.0), 1e-5) << "the next chunk runs the console fully";
}

TEST (ConsoleStage, ThresholdIsMinusPointSevenTimesDriveAndCompresses)
{
    ConsoleConvolution console;
    console.prepare (specFor (44100.0, 512));
    EXPECT_EQ (console.getAppliedThresholdDb(), 0.0f);

    console.setThreshold (50.0f);
    EXPECT_EQ (console.getAppliedThresholdDb(), 0.0f) << "the audio thread applies it at its next chunk";
    auto silence = constant (2, 512, 0.0f);
    run (console, silence);
    EXPECT_EQ (console.getAppliedThresholdDb(), -35.0f);

    console.setThreshold (20.0f);
    run (console, silence);
    EXPECT_EQ (console.getAppliedThresholdDb(), static_cast<float> (20.0 * -0.7));

    // The preparation itself goes back to 0 dB; the next chunk brings the request back.
    console.setThreshold (50.0f);
    run (console, silence);
    console.prepare (specFor (44100.0, 512));
    EXPECT_EQ (console.getAppliedThresholdDb(), 0.0f);
    run (console, silence);
    EXPECT_EQ (console.getAppliedThresholdDb(), -35.0f);

    // And the compressor really works with it: a -6 dBFS tone loses level at -35 dB.
    auto levelWith = [] (float drive)
    {
        ConsoleConvolution stage;
        stage.switchOn (false, false, drive);
        stage.prepare (specFor (44100.0, 512));
        double sum = 0.0;

        for (int chunk = 0; chunk < 20; ++chunk)
        {
            auto tone = Signals::make (2, 512, [chunk] (int, int i)
                { return 0.5f * std::sin (0.05f * static_cast<float> (chunk * 512 + i)); });
            juce::dsp::AudioBlock<float> block (tone);
            stage.process (juce::dsp::ProcessContextReplacing<float> (block));

            if (chunk >= 10)
                for (int i = 0; i < 512; ++i)
                    sum += tone.getSample (0, i) * tone.getSample (0, i);
        }

        return 10.0 * std::log10 (sum / (10 * 512));
    };

    EXPECT_LT (levelWith (50.0f), levelWith (0.0f) - 10.0);
}

TEST (ConsoleStage, OnlyTheNewestPublishedResponseIsLoaded)
{
    ConsoleConvolution console;
    console.switchOn (false, false, 0.0f);
    console.prepare (specFor (44100.0, 256));
    auto silence = constant (2, 256, 0.0f);
    run (console, silence);

    console.publishImpulseResponse (flatResponse (3, 0.5f), 44100.0f);
    console.publishImpulseResponse (flatResponse (40, 0.25f), 44100.0f);

    {
        const juce::SpinLock::ScopedLockType lock (console.irLock);
        EXPECT_TRUE (console.irPending);
        EXPECT_EQ (console.pendingIR.getNumSamples(), 40);
    }

    const auto seen = waitForResponseSize (console, 40, 256);
    EXPECT_EQ (console.convolution.getCurrentIRSize(), 40);
    EXPECT_EQ (seen.count (3), 0u) << "the replaced response must never reach the convolution";

    const juce::SpinLock::ScopedLockType lock (console.irLock);
    EXPECT_FALSE (console.irPending);
    EXPECT_EQ (console.pendingEngineResponse.getNumSamples(), 0) << "moved into the convolution";
}

TEST (ConsoleStage, SoundsAlikeAtEveryRateAndAt48kHzAsTheConvolutionNormalisedIt)
{
    // Console "U" as the console buttons decode it.
    const auto samples = ConsoleWav::handedOver (ConsoleWav::table()[0]);
    juce::AudioBuffer<float> decoded (1, (int) samples.size());
    decoded.copyFrom (0, 0, samples.data(), (int) samples.size());
    const double decodedRate = 88200.0;

    // The settled level of a bass and a mid tone through the stage, restored before preparation.
    const auto levelDbAt = [&] (double rate)
    {
        ConsoleConvolution console;
        console.publishImpulseResponse (decoded, (float) decodedRate);
        console.switchOn (true, true, 0.0f);
        console.prepare (specFor (rate, 512, 1));
        auto tones = Signals::make (1, (int) rate, [rate] (int, int i)
            { return Signals::sine (110.0, rate, i, 0.25f) + Signals::sine (1000.0, rate, i, 0.125f); });

        for (int start = 0; start + 512 <= tones.getNumSamples(); start += 512)
        {
            juce::dsp::AudioBlock<float> block (tones.getArrayOfWritePointers(), 1, (size_t) start, 512);
            console.process (juce::dsp::ProcessContextReplacing<float> (block));
        }

        const auto half = tones.getNumSamples() / 2;
        return juce::Decibels::gainToDecibels ((double) tones.getRMSLevel (0, half, half - 512));
    };

    const auto at48 = levelDbAt (48000.0);

    for (const double rate : { 44100.0, 96000.0, 192000.0 })
        EXPECT_NEAR (levelDbAt (rate), at48, 0.5) << rate << " Hz";

    // Its tone too: the response worked out for a rate has the 48 kHz one's gain and phase, the
    // delay in seconds included, from the bass to 16 kHz.
    const auto gainAt = [] (const juce::AudioBuffer<float>& response, double hz, double rate)
    {
        std::complex<double> sum;

        for (int i = 0; i < response.getNumSamples(); ++i)
            sum += (double) response.getSample (0, i) * std::polar (1.0, -juce::MathConstants<double>::twoPi * hz * i / rate);

        return sum;
    };
    const auto reference = ResponseMath::forRate (decoded, decodedRate, 48000.0);

    for (const double rate : { 44100.0, 88200.0, 192000.0 })
    {
        const auto played = ResponseMath::forRate (decoded, decodedRate, rate);

        for (const double hz : { 100.0, 1000.0, 4000.0, 8000.0, 12500.0, 16000.0 })
        {
            const auto ratio = gainAt (played, hz, rate) / gainAt (reference, hz, 48000.0);
            EXPECT_NEAR (juce::Decibels::gainToDecibels (std::abs (ratio)), 0.0, 0.5) << rate << " Hz, at " << hz << " Hz";
            EXPECT_NEAR (juce::radiansToDegrees (std::arg (ratio)), 0.0, 5.0) << rate << " Hz, at " << hz << " Hz";
        }
    }

    // At 48 kHz the convolution plays, to the bit, what it made of the decoded response when it
    // resampled and normalised it itself.
    const juce::dsp::ProcessSpec spec48{ 48000.0, 512, 1 };
    juce::dsp::Convolution itsOwn, ours;
    itsOwn.loadImpulseResponse (juce::AudioBuffer<float> (decoded), decodedRate, juce::dsp::Convolution::Stereo::yes, juce::dsp::Convolution::Trim::yes, juce::dsp::Convolution::Normalise::yes);
    ours.loadImpulseResponse (ResponseMath::forRate (decoded, decodedRate, 48000.0), 48000.0, juce::dsp::Convolution::Stereo::yes, juce::dsp::Convolution::Trim::no, juce::dsp::Convolution::Normalise::no);
    itsOwn.prepare (spec48);
    ours.prepare (spec48);
    auto a = noise (1, 512, 3, 0.5f);
    auto b = a;
    juce::dsp::AudioBlock<float> blockA (a), blockB (b);
    itsOwn.process (juce::dsp::ProcessContextReplacing<float> (blockA));
    ours.process (juce::dsp::ProcessContextReplacing<float> (blockB));
    EXPECT_EQ (std::memcmp (a.getReadPointer (0), b.getReadPointer (0), 512 * sizeof (float)), 0);
}

TEST (ConsoleStage, ResponsePublishedWhileOffWaitsUntilTheStageRuns)
{
    ConsoleConvolution console;
    console.prepare (specFor (48000.0, 256));
    auto silence = constant (2, 256, 0.0f);
    run (console, silence);

    console.publishImpulseResponse (flatResponse (24, 0.3f), 48000.0f);

    for (int i = 0; i < 5; ++i)
        run (console, silence);

    {
        const juce::SpinLock::ScopedLockType lock (console.irLock);
        EXPECT_TRUE (console.irPending) << "an off and faded stage must not take the response";
    }

    // A held lock makes the audio side skip the hand-over rather than wait.
    console.switchOn (false, false, 0.0f);
    {
        const juce::SpinLock::ScopedLockType lock (console.irLock);
        run (console, silence);
        EXPECT_TRUE (console.irPending);
    }

    run (console, silence);
    {
        const juce::SpinLock::ScopedLockType lock (console.irLock);
        EXPECT_FALSE (console.irPending);
    }

    waitForResponseSize (console, 24, 256);
    EXPECT_EQ (console.convolution.getCurrentIRSize(), 24);
}

TEST (ConsoleStage, WriterSideSetsOnlyWhatItNames)
{
    ConsoleConvolution console;
    EXPECT_TRUE (console.off.load());
    EXPECT_TRUE (console.invertIR);

    console.switchOn (false, true, 10.0f);
    EXPECT_FALSE (console.off.load());
    EXPECT_FALSE (console.invertIR);
    EXPECT_TRUE (console.hotMakeup.load());

    console.switchOff();
    EXPECT_TRUE (console.off.load());
    EXPECT_FALSE (console.invertIR) << "switching off leaves polarity, makeup and threshold";
    EXPECT_TRUE (console.hotMakeup.load());

    console.prepare (specFor (44100.0, 64));
    auto silence = constant (2, 64, 0.0f);
    run (console, silence);
    EXPECT_EQ (console.getAppliedThresholdDb(), -7.0f);
}

TEST (ConsoleStage, FirstConsoleWaitsDryForItsOwnEngineThenFadesInWithoutABurst)
{
    // 24 taps of 0.3, normalised by the convolution to 0.125 / sqrt (24) each: settled, a
    // constant 0.01 leaves at 0.01 x 0.125 x sqrt (24) x 17 dB.
    const double settled = 0.01 * 0.125 * std::sqrt (24.0) * gainOfDb (17.0);
    const auto published = [] (ConsoleConvolution& console)
    {
        console.publishImpulseResponse (flatResponse (24, 0.3f), 48000.0f);
        console.switchOn (false, false, 0.0f);
    };

    {
        SCOPED_TRACE ("real time: dry until the engine plays, then a fade without a burst");
        ConsoleConvolution console;
        console.prepare (specFor (48000.0, 64));
        published (console);
        int drySamples = 0;
        float peak = 0.0f;

        for (int chunk = 0; chunk < 2000 && console.mixCurrent < 1.0f; ++chunk)
        {
            auto buffer = constant (2, 64, 0.01f);
            run (console, buffer);
            peak = juce::jmax (peak, buffer.getMagnitude (0, 64));

            if (console.mixCurrent == 0.0f)
            {
                ASSERT_EQ (buffer.getMagnitude (0, 64), 0.01f);
                ASSERT_EQ (buffer.findMinMax (1, 0, 64).getStart(), 0.01f);
                drySamples += 64;
            }

            Sleep::atLeast (std::chrono::microseconds (500)); // 2000 chunks: a second for the loader thread
        }

        EXPECT_EQ (console.mixCurrent, 1.0f);
        EXPECT_EQ (console.convolution.getCurrentIRSize(), 24);
        EXPECT_GT (drySamples, 0) << "the loader thread cannot have built the engine within the first chunk";
        EXPECT_LT (peak, settled * 1.001) << "never louder than the settled console";
    }

    {
        SCOPED_TRACE ("16 kHz, where both engines report one sample: in after a bounded wait");
        ConsoleConvolution console;
        console.prepare (specFor (16000.0, 160));
        console.publishImpulseResponse (flatResponse (7, 0.3f), 88200.0f);
        console.switchOn (false, false, 0.0f);
        int chunks = 0;

        for (; chunks < 200 && console.mixCurrent < 1.0f; ++chunks)
        {
            auto buffer = constant (2, 160, 0.01f);
            run (console, buffer);
            Sleep::atLeast (std::chrono::milliseconds (1));
        }

        EXPECT_EQ (console.mixCurrent, 1.0f);
        EXPECT_GE (chunks, 10) << "a tenth of a second dry";
    }
}

TEST (CompressorMath, PowerIsWithinTwoUlpOfStdPow)
{
    for (const float exponent : { -0.8f, -1.0f, -0.5f, -0.1f, 0.0f })
    {
        EXPECT_EQ (CompressorMath::power (1.0f, exponent), 1.0f) << "below the threshold the gain is exactly 1";

        // Just above 1 (just over the threshold) and then up to 2^40, past any level a signal reaches.
        for (float x = 0.999f; x < 1.0e12f; x = x < 1.01f ? x + 1.0e-6f : x * 1.0007f)
        {
            const double expected = std::pow (static_cast<double> (x), static_cast<double> (exponent));
            ASSERT_NEAR (CompressorMath::power (x, exponent), expected, expected * 0x1p-22) << x << " ^ " << exponent;
        }
    }
}

TEST (ConsoleStage, CompressorMatchesTheFrameworkCompressorWithinFloatRounding)
{
    auto process = [] (auto& compressor, juce::AudioBuffer<float>& buffer)
    {
        juce::dsp::AudioBlock<float> block (buffer);
        compressor.process (juce::dsp::ProcessContextReplacing<float> (block));
    };

    // Chunk sizes include one longer than prepared; the settings change between chunks and the
    // envelopes are cleared once, as the stage does after a non-finite sample.
    const struct
    {
        int length;
        float thresholdDb, attackMs;
        bool reset;
    } chunks[] = { { 256, -14.0f, 2.0f, false }, { 100, -14.0f, 2.0f, false }, { 700, -35.0f, 2.0f, false }, { 64, 0.0f, 0.0f, false }, { 256, -20.0f, 5.0f, true } };

    int reduced = 0;

    // Channels are followed in pairs: an odd count leaves one on its own.
    for (const int channels : { 2, 1, 3 })
    {
        ConsoleCompressor ours;
        juce::dsp::Compressor<float> reference;
        ours.prepare (specFor (48000.0, 256, channels));
        reference.prepare (specFor (48000.0, 256, channels));

        for (const auto& chunk : chunks)
        {
            auto configure = [&chunk] (auto& compressor)
            {
                compressor.setThreshold (chunk.thresholdDb);
                compressor.setRatio (5.0f);
                compressor.setAttack (chunk.attackMs);
                compressor.setRelease (20.0f);

                if (chunk.reset)
                    compressor.reset();
            };

            configure (ours);
            configure (reference);

            auto input = noise (channels, chunk.length, chunk.length, 0.5f);
            input.applyGain (3.0f);
            auto actual = input, expected = input;
            process (ours, actual);
            process (reference, expected);

            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < chunk.length; ++i)
                {
                    const float want = expected.getSample (c, i);
                    ASSERT_NEAR (actual.getSample (c, i), want, std::abs (want) * 0x1p-22) << channels << " channels, chunk of " << chunk.length << ", channel " << c << ", sample " << i;
                    reduced += std::abs (want) < 0.9f * std::abs (input.getSample (c, i)) ? 1 : 0;
                }
        }
    }

    EXPECT_GT (reduced, 500) << "the comparison must cover gain reduction, not only unity gain";
}

TEST (ConsoleStage, TransformsTakeNoHeapMemoryAtAnyBlockSize)
{
    for (const int block : { 1, 64, 100, 512, 513, 4096 })
    {
        SCOPED_TRACE (block);
        ConsoleConvolution console;
        console.publishImpulseResponse (flatResponse (7, 0.3f), 88200.0f);
        console.switchOn (false, false, 0.0f);
        console.prepare (specFor (48000.0, block));
        auto buffer = noise (2, block, block, 0.5f);
        juce::Random random (block);
        std::int64_t allocations = 0;

        // Chunks of every length up to the block size, as hosts split their blocks.
        for (int chunk = 0; chunk < 40; ++chunk)
        {
            juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), 2, 1 + random.nextInt (block));
            const AllocationCounter::Scope counting;
            run (console, view);
            allocations += counting.allocations();
        }

        EXPECT_EQ (allocations, 0);
        EXPECT_EQ (console.fftScratch.getOverflows(), 0);
    }
}
