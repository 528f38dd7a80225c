#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>

#include "engine/drive/DriveOversampler.h"
#include "tests/support/MessageLoop.h"
#include "tests/support/Signals.h"
#include "tests/support/Spectrum.h"
#include "tools/host/HostedPlugin.h"
#include "tools/host/SavedStateEdit.h"

namespace
{
constexpr double rate = 48000.0;
constexpr int block = 512;
constexpr double toneHz = 2777.0;
constexpr int analysed = 65536; // the last frames of a render, past every ramp

struct Character
{
    const char* name;
    const char* button; // nullptr for Disto, which has none
    double eightTimesAliasesDb; // the most that may lie off the harmonics at 8x
};

constexpr Character soft{ "Soft", "Soft Button", -85.0 };
constexpr Character tube{ "Tube", "Tube Button", -85.0 };
constexpr std::array<Character, 5> characters{ { soft, tube, { "Tape", "Tape Button", -85.0 }, { "Fuzz", "Fuzz Button", -60.0 }, { "Disto", nullptr, -60.0 } } };

void set (juce::AudioPluginInstance& p, const char* name, const char* text)
{
    auto* parameter = HostedPlugin::findParameter (p, name);
    ASSERT_NE (parameter, nullptr) << name;
    parameter->setValueNotifyingHost (parameter->getValueForText (text));
}

void restoreAttribute (juce::AudioPluginInstance& p, const char* attribute, char value)
{
    const auto state = SavedStateEdit::withEngineAttribute (p, attribute, value);
    ASSERT_GT (state.getSize(), 0u) << attribute;
    p.setStateInformation (state.getData(), (int) state.getSize());
}

/** A bundle instance rendering offline in a character (Disto, which has no parameter, from a
    saved driveMode) with the drive oversampled `factor` times (a saved `oversampling`), prepared
    after that, as a host opening a project does. */
std::unique_ptr<juce::AudioPluginInstance> instance (const Character& character, char factor, std::initializer_list<std::pair<const char*, const char*>> settings = {})
{
    juce::String error;
    auto p = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
    EXPECT_NE (p, nullptr) << error;

    if (p == nullptr)
        return p;

    for (const char* button : { "Soft Button", "Tube Button", "Tape Button", "Fuzz Button" })
        set (*p, button, character.button != nullptr && std::strcmp (button, character.button) == 0 ? "On" : "Off");

    for (const auto& [name, text] : settings)
        set (*p, name, text);

    if (character.button == nullptr)
        restoreAttribute (*p, "driveMode", '3');

    restoreAttribute (*p, "oversampling", factor);
    p->setNonRealtime (true);
    p->prepareToPlay (rate, block);
    return p;
}

/** Chooses the factor as a restored project would, and lets the message loop bring the host
    the latency the plug-in reports for it, as a host's own loop does between blocks. Returns
    whether the host then knows that latency (the engine's, linked here as the reference). */
bool chooseFactor (juce::AudioPluginInstance& p, char factor)
{
    restoreAttribute (p, "oversampling", factor);
    const int expected = DriveOversampler().latencyOf (factor - '0');
    const auto deadline = juce::Time::getMillisecondCounter() + 5000;

    while (p.getLatencySamples() != expected && juce::Time::getMillisecondCounter() < deadline)
        MessageLoop::pump (5);

    return p.getLatencySamples() == expected;
}

/** `input` through the plug-in in blocks of 512; `between (start)` runs before each block. */
juce::AudioBuffer<float> play (juce::AudioPluginInstance& p, juce::AudioBuffer<float> buffer, const std::function<void (int)>& between = {})
{
    juce::MidiBuffer midi;

    for (int start = 0; start < buffer.getNumSamples(); start += block)
    {
        if (between)
            between (start);

        juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), 2, start, juce::jmin (block, buffer.getNumSamples() - start));
        p.processBlock (view, midi);
    }

    return buffer;
}

juce::AudioBuffer<float> tone (int n)
{
    return Signals::make (2, n, [] (int, int i)
        { return Signals::sine (toneHz, rate, i, 0.5011872f); }); // -6 dBFS
}

/** Energy off the tone's harmonics against energy on them, 20 Hz to 20 kHz, in dB. */
double aliasesDb (const Character& character, char factor)
{
    auto p = instance (character, factor, { { "Drive", "30" } });
    const auto out = play (*p, tone ((int) rate + analysed));
    return Spectrum::offHarmonicDb (out.getReadPointer (0, out.getNumSamples() - analysed), analysed, rate, toneHz);
}

/** The lag (0 to 200 frames) at which `later` best matches `earlier`. */
int bestLag (const juce::AudioBuffer<float>& earlier, const juce::AudioBuffer<float>& later, int from, int length)
{
    int best = 0;
    double bestSum = -1.0e300;

    for (int lag = 0; lag <= 200; ++lag)
    {
        double sum = 0.0;

        for (int i = from; i < from + length; ++i)
            sum += (double) earlier.getSample (0, i) * later.getSample (0, i + lag);

        if (sum > bestSum)
        {
            bestSum = sum;
            best = lag;
        }
    }

    return best;
}
} // namespace

TEST (HostedOversampling, EveryFactorLeavesFewerAliasesAndEightTimesAlmostNone)
{
    for (const auto& c : characters)
    {
        const auto plain = aliasesDb (c, '1'), twice = aliasesDb (c, '2'), eight = aliasesDb (c, '8');
        std::printf ("%-5s off the harmonics: 1x %6.1f dB, 2x %6.1f dB, 8x %6.1f dB\n", c.name, plain, twice, eight);
        EXPECT_LE (twice, plain - 10.0) << c.name;
        EXPECT_LE (eight, c.eightTimesAliasesDb) << c.name;
    }
}

TEST (HostedOversampling, EightTimesKeepsTheToneAndTheReportedLatencyIsTheRealOne)
{
    const auto noise = Signals::noise (2, 6 * (int) rate, 5, 0.5f);
    const auto skip = (int) rate;

    for (const auto& settings : { std::initializer_list<std::pair<const char*, const char*>>{ { "Drive", "0" } }, { { "Drive", "0" }, { "Mix", "50" }, { "Clean Bass", "10" } } })
    {
        auto plainInstance = instance (soft, '1', settings);
        const auto plain = play (*plainInstance, noise);
        const auto plainLevels = Spectrum::thirdOctaveLevelsDb (plain.getReadPointer (0, skip), plain.getNumSamples() - skip - 256, rate);
        EXPECT_EQ (plainInstance->getLatencySamples(), 0);

        for (const char factor : { '2', '4', '8' })
        {
            SCOPED_TRACE (std::string ("factor ") + factor + (settings.size() > 1 ? ", Mix 50 %, Clean Bass 10" : ", Mix 100 %"));
            auto p = instance (soft, factor, settings);
            const auto out = play (*p, noise);
            const int latency = p->getLatencySamples();
            EXPECT_GT (latency, 0);
            EXPECT_NEAR (bestLag (plain, out, skip, (int) rate), latency, 1);

            if (factor != '8')
                continue;

            const auto levels = Spectrum::thirdOctaveLevelsDb (out.getReadPointer (0, skip), out.getNumSamples() - skip - 256, rate);
            const auto centres = Spectrum::thirdOctaveCentres();

            for (size_t b = 0; b < levels.size(); ++b)
                EXPECT_NEAR (levels[b], plainLevels[b], 0.5) << centres[b] << " Hz";
        }
    }
}

TEST (HostedOversampling, NeitherAFactorChangeNorTheBypassNorThePowerClicks)
{
    // Tube at Drive 30 dB, half dry: the dry path and the processed one must meet in time.
    auto p = instance (tube, '1', { { "Drive", "30" }, { "Mix", "50" }, { "Clean Bass", "5" } });
    const int second = 94 * block, oneMs = (int) rate / 1000, fade = (int) rate / 50; // switches fall on block starts
    struct Switch
    {
        int at;
        std::function<void()> act;
    };
    const std::vector<Switch> switches{
        { 1 * second, [&]
            { EXPECT_TRUE (chooseFactor (*p, '8')); } },
        { 2 * second, [&]
            { set (*p, "Bypass", "1"); } },
        { 3 * second, [&]
            { set (*p, "Bypass", "0"); } },
        { 4 * second, [&]
            { set (*p, "on Button", "Off"); } },
        { 5 * second, [&]
            { set (*p, "on Button", "On"); } },
        { 6 * second, [&]
            { EXPECT_TRUE (chooseFactor (*p, '2')); } },
        { 7 * second, [&]
            { EXPECT_TRUE (chooseFactor (*p, '4')); } },
        { 7 * second + block, [&]
            { EXPECT_TRUE (chooseFactor (*p, '1')); } },
    };

    int latencyAtEightTimes = 0;
    const auto out = play (*p, tone (8 * second + second / 2), [&] (int start)
        {
            for (const auto& s : switches)
                if (s.at == start)
                    s.act();

            if (start == 3 * second - block)
                latencyAtEightTimes = p->getLatencySamples(); });

    const float steady = Signals::largestStep (out, second / 2, second);

    for (const auto& s : switches)
    {
        EXPECT_LE (Signals::largestStep (out, s.at - 1, s.at + oneMs), 1.5f * steady) << "within 1 ms of the switch at " << s.at / rate << " s";
        EXPECT_LE (Signals::largestStep (out, s.at - 1, s.at + 3 * fade), 1.5f * steady) << "over the fades of the switch at " << s.at / rate << " s";
    }

    // Bypassed at 8x, from 20 ms after the switch: the input, exactly as late as the latency.
    const auto dry = tone (out.getNumSamples());
    const int from = 2 * second + fade, length = second - fade - latencyAtEightTimes;
    ASSERT_GT (latencyAtEightTimes, 0);
    const juce::AudioBuffer<float> input (const_cast<float* const*> (dry.getArrayOfReadPointers()), 2, from, length);
    const juce::AudioBuffer<float> bypassed (const_cast<float* const*> (out.getArrayOfReadPointers()), 2, from + latencyAtEightTimes, length);
    EXPECT_EQ (Signals::differenceDb (input, bypassed, 0), -400.0);
    EXPECT_EQ (p->getLatencySamples(), 0);
}

TEST (HostedOversampling, AProjectSavedAtFourTimesReopensAtFourTimesAndSoundsAsSaved)
{
    auto original = instance (tube, '4', { { "Drive", "24" }, { "Grain", "40" }, { "Mix", "70" } });
    juce::MemoryBlock project;
    original->getStateInformation (project);
    const auto input = tone ((int) rate);

    juce::String error;
    auto reopened = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
    ASSERT_NE (reopened, nullptr) << error;
    reopened->setStateInformation (project.getData(), (int) project.getSize());
    reopened->setNonRealtime (true);
    reopened->prepareToPlay (rate, block);

    EXPECT_EQ (reopened->getLatencySamples(), original->getLatencySamples());
    EXPECT_GT (reopened->getLatencySamples(), 0);
    EXPECT_EQ (Signals::differenceDb (play (*original, input), play (*reopened, input), 0), -400.0) << "sample for sample, from the first block";
}
