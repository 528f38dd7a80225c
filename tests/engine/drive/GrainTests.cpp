#include <gtest/gtest.h>

#include <cmath>

#include "engine/drive/Grain.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/Signals.h"

namespace
{
using Stage = Grain<float>;

juce::dsp::ProcessSpec specFor (double rate, int block, int channels)
{
    return { rate, static_cast<juce::uint32> (block), static_cast<juce::uint32> (channels) };
}

void run (Stage& stage, juce::AudioBuffer<float>& buffer, float drive = 0.0f, float grain = 0.0f)
{
    juce::dsp::AudioBlock<float> block (buffer);
    stage.process (juce::dsp::ProcessContextReplacing<float> (block), drive, grain);
}

void runSilence (Stage& stage, int channels, int n, float drive = 0.0f, float grain = 0.0f)
{
    auto buffer = Signals::silence (channels, n);
    run (stage, buffer, drive, grain);
}

float cutoffOf (Stage& stage) { return stage.shaper.get<Stage::lowPassIndex>().getCutoffFrequency(); }

// A stage prepared twice, so that its gains sit at their targets (Drive 0 dB, compensation
// 0 dB, trim -2 dB) instead of ramping up from silence, and past its first chunk, so that
// the next mode change crossfades.
void settle (Stage& stage, const juce::dsp::ProcessSpec& spec)
{
    stage.prepare (spec);
    runSilence (stage, static_cast<int> (spec.numChannels), 64);
    stage.prepare (spec);
    runSilence (stage, static_cast<int> (spec.numChannels), 64);
}
} // namespace

TEST (GrainStage, ConstructionInstallsTapeBehindATenKilohertzLowPass)
{
    Stage stage;
    EXPECT_EQ (stage.installedMode, GrainMath::tape);
    EXPECT_EQ (stage.driveMode.load(), GrainMath::tape);
    EXPECT_EQ (stage.fadePosition, -1);
    EXPECT_EQ (stage.polynomial, &stage.modePolynomials[GrainMath::tape]);
    EXPECT_EQ (stage.shaper.get<Stage::waveShaperIndex>().functionToUse (0.3f), GrainMath::tapeWave (0.3f));
    EXPECT_EQ (cutoffOf (stage), 10000.0f);
}

TEST (GrainStage, CutoffFollowsTheInstalledModeAndDistoKeepsThePreviousOne)
{
    Stage stage;
    stage.prepare (specFor (44100.0, 64, 1));

    const struct
    {
        int mode;
        float cutoff;
    } sequence[] = { { GrainMath::disto, 10000.0f }, { GrainMath::fuzz, 6000.0f }, { GrainMath::disto, 6000.0f }, { GrainMath::tube, 11000.0f }, { GrainMath::disto, 11000.0f }, { GrainMath::soft, 11000.0f }, { GrainMath::fuzz, 6000.0f }, { GrainMath::tape, 11000.0f } };

    for (const auto& step : sequence)
    {
        stage.driveMode = step.mode;
        runSilence (stage, 1, 16);
        EXPECT_EQ (stage.installedMode, step.mode);
        EXPECT_EQ (cutoffOf (stage), step.cutoff) << "after mode " << step.mode;
    }
}

TEST (GrainStage, RestoredCutoffWaitsForItsModeAndLapsesWhenAnotherStays)
{
    Stage stage;
    settle (stage, specFor (44100.0, 64, 1));
    stage.driveMode = GrainMath::soft;
    auto buffer = Signals::silence (1, 16);
    auto chunk = [&]
    {
        buffer.clear();
        run (stage, buffer);
    };

    chunk();
    const AllocationCounter::Scope allocations;

    // The audio thread still installs the mode from before: the cutoff waits.
    stage.restoreCutoff ({ GrainMath::disto, 6000.0f });
    EXPECT_EQ (stage.cutoffHzOf (GrainMath::disto), 6000.0f) << "a save meanwhile keeps it";
    EXPECT_EQ (stage.cutoffHzOf (GrainMath::fuzz), 6000.0f);
    EXPECT_EQ (stage.cutoffHzOf (GrainMath::soft), 11000.0f);
    chunk();
    EXPECT_EQ (cutoffOf (stage), 11000.0f);
    stage.driveMode = GrainMath::disto;
    chunk();
    EXPECT_EQ (cutoffOf (stage), 6000.0f) << "given to its mode once installed";
    EXPECT_EQ (stage.cutoffHzOf (GrainMath::disto), 6000.0f);

    // Its mode already installed: taken at the next chunk, and published.
    stage.restoreCutoff ({ GrainMath::disto, 9000.0f });
    chunk();
    EXPECT_EQ (cutoffOf (stage), 9000.0f);
    EXPECT_EQ (stage.cutoffHzOf (GrainMath::tape), 11000.0f);
    stage.driveMode = GrainMath::fuzz;
    chunk();
    EXPECT_EQ (cutoffOf (stage), 6000.0f) << "the next mode installs its own";

    // A mode changed before its own was installed: the cutoff lapses a chunk later.
    stage.restoreCutoff ({ GrainMath::disto, 9000.0f });
    stage.driveMode = GrainMath::tube;
    chunk();
    chunk();
    stage.driveMode = GrainMath::disto;
    chunk();
    EXPECT_EQ (cutoffOf (stage), 11000.0f) << "Disto after Tube";
    EXPECT_EQ (allocations.allocations(), 0);
}

TEST (GrainStage, FirstChangeAfterPreparationIsImmediateLaterOnesCrossfade)
{
    Stage stage;
    stage.prepare (specFor (44100.0, 512, 1));
    EXPECT_EQ (stage.fadeLength, 882);

    stage.driveMode = GrainMath::soft;
    runSilence (stage, 1, 512);
    EXPECT_EQ (stage.installedMode, GrainMath::soft);
    EXPECT_EQ (stage.fadePosition, -1) << "the first chunk after a preparation must not crossfade";

    stage.driveMode = GrainMath::tube;
    runSilence (stage, 1, 512);
    EXPECT_EQ (stage.installedMode, GrainMath::tube);
    ASSERT_EQ (stage.fadePosition, 0);
    EXPECT_EQ (stage.previousPolynomial, &stage.modePolynomials[GrainMath::soft]);
    EXPECT_EQ (stage.previousWave (0.7f), GrainMath::softWave (0.7f));
    EXPECT_EQ (stage.fadeWeight (0), 1.0f / 882.0f);

    // 512-sample chunks: the second chunk of the fade reaches full weight at index 369.
    runSilence (stage, 1, 512);
    ASSERT_EQ (stage.fadePosition, 512);
    EXPECT_LT (stage.fadeWeight (368), 1.0f);
    EXPECT_EQ (stage.fadeWeight (369), 1.0f);
    EXPECT_EQ (stage.fadeWeight (511), 1.0f);
    runSilence (stage, 1, 512);
    EXPECT_EQ (stage.fadePosition, -1);

    // One-sample chunks: the fade lasts exactly 882 samples of audio.
    stage.driveMode = GrainMath::fuzz;
    runSilence (stage, 1, 1);
    ASSERT_EQ (stage.fadePosition, 0);
    int samples = 0;

    while (stage.fadePosition != -1 && samples < 2000)
    {
        runSilence (stage, 1, 1);
        ++samples;
    }

    EXPECT_EQ (samples, 882);

    // Requesting the installed mode changes nothing.
    stage.driveMode = GrainMath::fuzz;
    runSilence (stage, 1, 64);
    EXPECT_EQ (stage.fadePosition, -1);

    // A new preparation drops nothing but makes the next change immediate again.
    stage.prepare (specFor (48000.0, 512, 1));
    EXPECT_EQ (stage.fadeLength, 960);
    EXPECT_EQ (stage.installedMode, GrainMath::fuzz);
    stage.driveMode = GrainMath::tape;
    runSilence (stage, 1, 64);
    EXPECT_EQ (stage.fadePosition, -1);
    EXPECT_EQ (stage.installedMode, GrainMath::tape);
}

TEST (GrainStage, ChangeDuringACrossfadeRestartsItFromTheModeBeingFadedIn)
{
    Stage stage;
    settle (stage, specFor (44100.0, 512, 1));

    stage.driveMode = GrainMath::soft;
    runSilence (stage, 1, 512);
    ASSERT_EQ (stage.fadePosition, 0);

    stage.driveMode = GrainMath::fuzz;
    runSilence (stage, 1, 512);
    EXPECT_EQ (stage.fadePosition, 0) << "the fade must restart, not continue at 512";
    EXPECT_EQ (stage.installedMode, GrainMath::fuzz);
    EXPECT_EQ (stage.previousPolynomial, &stage.modePolynomials[GrainMath::soft]);

    for (const float x : { -0.8f, 0.2f, 0.6f })
        EXPECT_EQ (stage.previousWave (x), GrainMath::softWave (x)) << x;
}

TEST (GrainStage, CrossfadeBlendsOldAndNewWaveBeforeTheLowPass)
{
    const auto spec = specFor (44100.0, 512, 1);
    Stage stage;
    stage.driveMode = GrainMath::tube;
    settle (stage, spec);
    ASSERT_EQ (stage.installedMode, GrainMath::tube);

    // The change is requested in one chunk and heard from the next.
    stage.driveMode = GrainMath::soft;
    runSilence (stage, 1, 512);
    ASSERT_EQ (stage.fadePosition, 0);

    auto buffer = Signals::make (1, 512, [] (int, int i)
        { return 0.9f * std::sin (0.031f * static_cast<float> (i)); });
    const juce::AudioBuffer<float> input (buffer);
    run (stage, buffer);

    // Expected, independently: gains at 0 dB (drive, compensation), grain 0 leaves x, the wave
    // blend with weight (i + 1) / 882, a first-order TPT low-pass at 11 kHz from rest, -2 dB.
    const double g = std::tan (juce::MathConstants<double>::pi * 11000.0 / 44100.0);
    const double coefficient = g / (1.0 + g);
    const double trim = std::pow (10.0, -2.0 / 20.0);
    double state = 0.0;

    for (int i = 0; i < 512; ++i)
    {
        const double x = input.getSample (0, i);
        const double w = std::min (1.0, (i + 1) / 882.0);
        const double blended = w * std::tanh (0.55 * x) / std::tanh (0.5) + (1.0 - w) * std::atan (1.4 * x) / std::atan (1.4);
        const double v = coefficient * (blended - state);
        const double y = v + state;
        state = y + v;
        ASSERT_NEAR (buffer.getSample (0, i), y * trim, 2e-6) << "sample " << i;
    }
}

TEST (GrainStage, CompensationFollowsTheRequestedModeWhileTheOldWaveStillRuns)
{
    Stage stage;
    settle (stage, specFor (44100.0, 256, 1));

    stage.driveMode = GrainMath::fuzz;
    runSilence (stage, 1, 256, 30.0f);
    EXPECT_EQ (stage.compensationDb, GrainMath::compensationDb (GrainMath::fuzz, 30.0f));
    EXPECT_EQ (stage.driveDb, 30.0f);
    EXPECT_EQ (stage.installedMode, GrainMath::fuzz);
}

TEST (GrainStage, GrainAmountRampsAcrossChannelsInTurn)
{
    constexpr int n = 2205; // 0.05 s at 44100 Hz: two channels finish the 0.1 s ramp
    const float x = 0.5f;

    Stage stage;
    stage.prepare (specFor (44100.0, n, 2));
    stage.grainSmoothed.setTargetValue (100.0f);

    auto buffer = Signals::constant (2, n, x);

    juce::dsp::AudioBlock<float> block (buffer);
    stage.applyGrainPolynomial (block);

    const double p = stage.modePolynomials[GrainMath::tape](x);
    auto expected = [&] (int step)
    { return x + p * (static_cast<double> (step) / 4410.0); };

    for (const int i : { 0, 1, 1000, n - 1 })
    {
        EXPECT_NEAR (buffer.getSample (0, i), expected (i + 1), 1e-4) << "channel 0, sample " << i;
        EXPECT_NEAR (buffer.getSample (1, i), expected (n + i + 1), 1e-4) << "channel 1, sample " << i;
        EXPECT_GT (buffer.getSample (1, i), buffer.getSample (0, i));
    }

    EXPECT_FALSE (stage.grainSmoothed.isSmoothing()) << "the ramp must end after 0.05 s of stereo audio";
    EXPECT_EQ (stage.grainSmoothed.getCurrentValue(), 100.0f);
}

TEST (GrainStage, SteadyAmountAddsEachModesPolynomialToTheBit)
{
    for (int mode = 0; mode < GrainMath::numModes; ++mode)
    {
        Stage stage;
        stage.driveMode = mode;
        stage.setWave();
        stage.prepare (specFor (44100.0, 300, 2));
        stage.grainSmoothed.setCurrentAndTargetValue (50.0f);

        auto buffer = Signals::noise (2, 300, mode, 1.5f);
        const juce::AudioBuffer<float> input (buffer);
        juce::dsp::AudioBlock<float> block (buffer);
        stage.applyGrainPolynomial (block);

        const auto& p = stage.modePolynomials[static_cast<size_t> (mode)];

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 300; ++i)
            {
                const float x = input.getSample (c, i);
                ASSERT_EQ (buffer.getSample (c, i), p (x) * (50.0f / 100.0f) + x) << "mode " << mode << ", channel " << c << ", sample " << i;
            }
    }
}

TEST (GrainStage, ZeroGrainLeavesEverySampleUnchanged)
{
    Stage stage;
    stage.prepare (specFor (44100.0, 256, 2));
    auto buffer = Signals::noise (2, 256, 5, 1.0f);
    juce::AudioBuffer<float> original (buffer);
    juce::dsp::AudioBlock<float> block (buffer);
    stage.applyGrainPolynomial (block);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ (buffer.getSample (c, i), original.getSample (c, i));
}

TEST (GrainStage, StaysStableAtLowSampleRates)
{
    for (const double rate : { 8000.0, 11025.0, 16000.0, 22050.0 })
    {
        for (int mode = 0; mode < GrainMath::numModes; ++mode)
        {
            SCOPED_TRACE (juce::String (rate) + " Hz, mode " + juce::String (mode));
            Stage stage;
            stage.prepare (specFor (rate, 256, 2));
            stage.driveMode = mode;
            runSilence (stage, 2, 256);
            stage.driveMode = mode == GrainMath::disto ? GrainMath::tape : GrainMath::disto;
            runSilence (stage, 2, 256);
            stage.driveMode = mode;

            EXPECT_LT (cutoffOf (stage), rate / 2.0);

            juce::Random random (17);
            float peak = 0.0f;

            for (int chunk = 0; chunk < static_cast<int> (rate) / 256; ++chunk)
            {
                auto buffer = Signals::noise (2, 256, random, 1.0f);
                run (stage, buffer, 50.0f, 100.0f);

                for (int c = 0; c < 2; ++c)
                    for (int i = 0; i < 256; ++i)
                    {
                        const float y = buffer.getSample (c, i);
                        ASSERT_TRUE (std::isfinite (y)) << "chunk " << chunk;
                        peak = juce::jmax (peak, std::abs (y));
                    }
            }

            // Every wave function is bounded by about 2.2 and the compensation only lowers it.
            EXPECT_LT (peak, 2.5f);
        }
    }
}
