#include <gtest/gtest.h>

#include <limits>

#include "engine/dsp/SignalGuard.h"
#include "tests/engine/ProcessorTestSupport.h"

using namespace ProcessorTestSupport;

namespace
{
constexpr double rate = 48000.0;
constexpr int block = 480;

struct Setting
{
    const char* name;
    int mode;
    bool console;
    float drive, grain, cleanBass, brightness, output;
};

const Setting settings[] = {
    { "Tape, console U, everything up", GrainMath::tape, true, 50.0f, 100.0f, 20.0f, 18.0f, 20.0f },
    { "Soft, defaults", GrainMath::soft, false, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f },
    { "Tube, console U", GrainMath::tube, true, 20.0f, 50.0f, 4.0f, 0.0f, 0.0f },
    { "Disto, drive and grain up", GrainMath::disto, false, 50.0f, 100.0f, 0.0f, -9.0f, 0.0f },
    { "Fuzz, console U, bass up", GrainMath::fuzz, true, 35.0f, 70.0f, 20.0f, 9.0f, -6.0f },
};

void apply (MorvantaProcessor& p, const Setting& s)
{
    setPlain (p, "Drive", s.drive);
    setPlain (p, "Grain", s.grain);
    setPlain (p, "CleanBass", s.cleanBass);
    setPlain (p, "Brightness", s.brightness);
    setPlain (p, "Output", s.output);

    for (const char* id : { "SoftButton", "TubeButton", "TapeButton", "FuzzButton" })
        setPlain (p, id, 0.0f);

    const char* modeIds[] = { "TapeButton", "SoftButton", "TubeButton", nullptr, "FuzzButton" };

    if (modeIds[s.mode] != nullptr)
        setPlain (p, modeIds[s.mode], 1.0f);
    else
        p.grain.driveMode.store (GrainMath::disto);

    if (s.console)
    {
        p.console.switchOn (true, true, s.drive);
        const float taps[] = { -0.98f, -0.54f, -0.07f, 0.6f, 0.43f, -0.29f, -0.44f };
        auto response = make (1, 20, [&taps] (int, int i)
            { return i < 7 ? taps[i] : 0.0f; });
        p.console.publishImpulseResponse (std::move (response), 88200.0f);
    }
}

using Hostile = std::function<float (int channel, juce::int64 frame)>;

/** Half a second of hostile input, then finite input; returns the RMS of the last half
        second, checking every finite-input sample on the way. */
float survive (const Setting& s, const Hostile& hostile, const char* what)
{
    MorvantaProcessor p;
    apply (p, s); // a console handed over before preparation is in use from the first sample
    prepare (p, rate, block);
    juce::MidiBuffer midi;
    juce::int64 frame = 0;

    // Settle on finite input so that every ramp is done.
    frame = feedSine (p, 0.6, block, 220.0, 0.5f, frame);

    for (int b = 0; b < static_cast<int> (0.5 * rate) / block; ++b)
    {
        auto buffer = make (2, block, [&] (int c, int i)
            { return hostile (c, frame + i); });
        p.processBlock (buffer, midi);
        frame += block;
    }

    double sum = 0.0;
    juce::int64 counted = 0;

    for (int b = 0; b < static_cast<int> (1.0 * rate) / block; ++b)
    {
        auto buffer = make (2, block, [&] (int, int i)
            { return sine (220.0, rate, frame + i, 0.5f); });
        p.processBlock (buffer, midi);
        frame += block;

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < block; ++i)
            {
                const float y = buffer.getSample (c, i);
                EXPECT_TRUE (std::isfinite (y)) << s.name << ", " << what << ": block " << b;

                if (! std::isfinite (y))
                    return 0.0f;

                if (b >= static_cast<int> (0.5 * rate) / block)
                {
                    sum += static_cast<double> (y) * y;
                    ++counted;
                }
            }
    }

    return static_cast<float> (std::sqrt (sum / static_cast<double> (counted)));
}

float freshRms (const Setting& s)
{
    return survive (
        s, [] (int, juce::int64 frame)
        { return sine (220.0, rate, frame, 0.5f); },
        "finite reference");
}
} // namespace

TEST (SignalGuard, ReplacesOnlyNonFiniteSamples)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float values[2][4] = { { 0.5f, nan, -inf, 1.0e-40f }, { inf, -0.25f, 3.0e38f, 0.0f } };
    auto buffer = make (2, 4, [&values] (int c, int i)
        { return values[c][i]; });

    EXPECT_TRUE (SignalGuard::replaceNonFinite (buffer));
    const float expected[2][4] = { { 0.5f, 0.0f, 0.0f, 1.0e-40f }, { 0.0f, -0.25f, 3.0e38f, 0.0f } };

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ (buffer.getSample (c, i), expected[c][i]) << c << "," << i;

    EXPECT_FALSE (SignalGuard::replaceNonFinite (buffer));
}

TEST (HostileInput, NonFiniteDenormalAndExtremeInputDoNotPoisonLaterAudio)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();

    const std::pair<const char*, Hostile> hostiles[] = {
        { "NaN bursts", [=] (int c, juce::int64 f)
            { return (f / 100) % 3 == 0 ? nan : sine (220.0, rate, f, 0.5f) + static_cast<float> (c) * 0.0f; } },
        { "+Inf", [=] (int, juce::int64 f)
            { return f % 7 == 0 ? inf : 0.1f; } },
        { "-Inf on one channel", [=] (int c, juce::int64 f)
            { return c == 1 && f % 5 == 0 ? -inf : 0.1f; } },
        { "denormals", [] (int, juce::int64 f)
            { return (f % 2 == 0 ? 1.0f : -1.0f) * 1.0e-41f; } },
        { "full-scale square", [] (int, juce::int64 f)
            { return (f / 50) % 2 == 0 ? 1.0f : -1.0f; } },
        { "+60 dBFS square", [] (int, juce::int64 f)
            { return (f / 50) % 2 == 0 ? 1000.0f : -1000.0f; } },
    };

    for (const auto& s : settings)
    {
        const float reference = freshRms (s);
        ASSERT_GT (reference, 1.0e-4f) << s.name;

        for (const auto& [what, hostile] : hostiles)
        {
            const float after = survive (s, hostile, what);
            // Same settings, same steady input: once recovered the level matches an instance
            // that never saw the hostile input (the convolution and the ramps have settled).
            EXPECT_NEAR (juce::Decibels::gainToDecibels (after), juce::Decibels::gainToDecibels (reference), 1.0f)
                << s.name << ", after " << what;
        }
    }
}

TEST (HostileInput, OverflowingOutputBecomesSilenceAndTheStagesStartAfresh)
{
    const Setting& s = settings[0];
    const float reference = freshRms (s);

    // Finite, but the clean low end at +40 dB and the output at +20 dB take it past the float
    // range: the host must get silence, and the cleared stages follow the next input at once.
    const float after = survive (
        s, [] (int, juce::int64 f)
        { return (f / 100) % 2 == 0 ? 3.0e38f : -3.0e38f; },
        "overflow");
    EXPECT_NEAR (juce::Decibels::gainToDecibels (after), juce::Decibels::gainToDecibels (reference), 1.0f);

    MorvantaProcessor p;
    apply (p, s); // a console handed over before preparation is in use from the first sample
    prepare (p, rate, block);
    feedSine (p, 0.6, block, 220.0, 0.5f);
    juce::MidiBuffer midi;
    auto buffer = make (2, block, [] (int, int i)
        { return (i / 100) % 2 == 0 ? 3.0e38f : -3.0e38f; });
    p.processBlock (buffer, midi);
    EXPECT_EQ (buffer.getMagnitude (0, block), 0.0f);
}

TEST (HostileInput, PowerOffPassesSilenceInPlaceOfNonFiniteSamples)
{
    MorvantaProcessor p;
    prepare (p, rate, block);
    setPlain (p, "onButton", 0.0f);
    juce::MidiBuffer midi;
    feedSine (p, 0.1, block, 220.0, 0.5f);

    auto buffer = make (2, block, [] (int, int i)
        { return i % 3 == 0 ? std::numeric_limits<float>::quiet_NaN() : 0.25f; });
    p.processBlock (buffer, midi);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < block; ++i)
            EXPECT_EQ (buffer.getSample (c, i), i % 3 == 0 ? 0.0f : 0.25f);
}
