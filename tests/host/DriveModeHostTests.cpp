#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "tests/support/Buses.h"
#include "tests/support/Signals.h"
#include "tools/host/HostedPlugin.h"
#include "tools/host/SavedStateEdit.h"

namespace
{
constexpr double rate = 44100.0;
constexpr int block = 512;
constexpr double fundamental = 441.0; // exactly 100 samples per period
constexpr int harmonics = 12;

enum class Character
{
    soft,
    tube,
    tape,
    disto,
    fuzz,
    powerOff
};

const char* nameOf (Character s)
{
    switch (s)
    {
        case Character::soft:
            return "Soft";
        case Character::tube:
            return "Tube";
        case Character::tape:
            return "Tape";
        case Character::disto:
            return "Disto";
        case Character::fuzz:
            return "Fuzz";
        case Character::powerOff:
            return "power off";
    }

    return "";
}

void set (juce::AudioPluginInstance& plugin, const char* name, float normalised)
{
    auto* parameter = HostedPlugin::findParameter (plugin, name);
    ASSERT_NE (parameter, nullptr) << name;
    parameter->setValueNotifyingHost (normalised);
}

/** Sets the mode parameters and the power switch for one setup; Disto, which has no
        parameter, comes back from the instance's own state edited to it. */
void select (juce::AudioPluginInstance& plugin, Character setup)
{
    const bool soft = setup == Character::soft || setup == Character::powerOff;
    set (plugin, "Soft Button", soft ? 1.0f : 0.0f);
    set (plugin, "Tube Button", setup == Character::tube ? 1.0f : 0.0f);
    set (plugin, "Tape Button", setup == Character::tape ? 1.0f : 0.0f);
    set (plugin, "Fuzz Button", setup == Character::fuzz ? 1.0f : 0.0f);
    set (plugin, "on Button", setup == Character::powerOff ? 0.0f : 1.0f);

    if (setup == Character::disto)
    {
        const auto state = SavedStateEdit::withEngineAttribute (plugin, "driveMode", '3');
        EXPECT_GT (state.getSize(), 0u);
        plugin.setStateInformation (state.getData(), static_cast<int> (state.getSize()));
    }
}

/** Runs `buffer` through the plug-in in place, in host blocks; returns it. */
juce::AudioBuffer<float> play (juce::AudioPluginInstance& plugin, juce::AudioBuffer<float> buffer)
{
    juce::MidiBuffer midi;

    for (int start = 0; start < buffer.getNumSamples(); start += block)
    {
        juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start, juce::jmin (block, buffer.getNumSamples() - start));
        plugin.processBlock (view, midi);
    }

    return buffer;
}

/** Amplitude of each harmonic of the fundamental in channel `channel`, over whole periods. */
std::vector<double> harmonicAmplitudes (const juce::AudioBuffer<float>& out, int channel, int start, int length)
{
    std::vector<double> amplitudes;

    for (int k = 1; k <= harmonics; ++k)
    {
        double re = 0.0, im = 0.0;

        for (int i = start; i < start + length; ++i)
        {
            const double phase = juce::MathConstants<double>::twoPi * k * fundamental * i / rate;
            re += out.getSample (channel, i) * std::cos (phase);
            im += out.getSample (channel, i) * std::sin (phase);
        }

        amplitudes.push_back (2.0 * std::sqrt (re * re + im * im) / length);
    }

    return amplitudes;
}

double distortion (const std::vector<double>& a)
{
    double sum = 0.0;

    for (size_t k = 1; k < a.size(); ++k)
        sum += a[k] * a[k];

    return std::sqrt (sum) / a[0];
}

/** Renders a 441 Hz sine at -6 dBFS through the bundle with Drive 20 dB in one setup and
        returns the harmonic amplitudes of every channel. */
std::vector<std::vector<double>> render (int channels, Character setup)
{
    juce::String error;
    auto plugin = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
    EXPECT_NE (plugin, nullptr) << error;

    if (plugin == nullptr)
        return {};

    EXPECT_TRUE (plugin->setBusesLayout (Buses::layout (channels)));

    auto* drive = HostedPlugin::findParameter (*plugin, "Drive");
    EXPECT_NE (drive, nullptr);

    if (drive == nullptr)
        return {};

    drive->setValueNotifyingHost (drive->getValueForText ("20.0"));
    select (*plugin, setup);
    plugin->prepareToPlay (rate, block);

    const int frames = static_cast<int> (0.8 * rate);
    const auto out = play (*plugin, Signals::make (channels, frames, [] (int, int i)
                                        { return Signals::sine (fundamental, rate, i, 0.5f); }));

    plugin->releaseResources();

    std::vector<std::vector<double>> result;
    const int length = 8800; // 88 whole periods, well after every ramp has settled

    for (int c = 0; c < channels; ++c)
        result.push_back (harmonicAmplitudes (out, c, frames - length, length));

    return result;
}
} // namespace

TEST (HostedDriveModes, EachModeGivesASineItsOwnHarmonics)
{
    const Character modes[] = { Character::soft, Character::tube, Character::tape, Character::disto, Character::fuzz };

    for (const int channels : { 1, 2 })
    {
        SCOPED_TRACE (channels == 1 ? "mono" : "stereo");

        const auto clean = render (channels, Character::powerOff);
        ASSERT_EQ (static_cast<int> (clean.size()), channels);
        EXPECT_NEAR (clean[0][0], 0.5, 1e-3) << "power off passes the sine through";
        EXPECT_LT (distortion (clean[0]), 1e-4);

        std::vector<std::vector<double>> spectra;

        for (const auto mode : modes)
        {
            SCOPED_TRACE (nameOf (mode));
            const auto result = render (channels, mode);
            ASSERT_EQ (static_cast<int> (result.size()), channels);

            for (int c = 0; c < channels; ++c)
            {
                EXPECT_GT (result[static_cast<size_t> (c)][0], 0.01) << "channel " << c << " processes";
                EXPECT_GT (distortion (result[static_cast<size_t> (c)]), 0.02) << "channel " << c << " gains harmonics";
            }

            spectra.push_back (result[0]);
        }

        // Relative harmonic levels tell every pair of characters apart.
        for (size_t a = 0; a < spectra.size(); ++a)
        {
            for (size_t b = a + 1; b < spectra.size(); ++b)
            {
                double largest = 0.0;

                for (int k = 1; k < harmonics; ++k)
                {
                    const auto db = [&] (const std::vector<double>& s)
                    { return 20.0 * std::log10 (s[static_cast<size_t> (k)] / s[0] + 1e-9); };
                    largest = juce::jmax (largest, std::abs (db (spectra[a]) - db (spectra[b])));
                }

                EXPECT_GT (largest, 3.0) << nameOf (modes[a]) << " and " << nameOf (modes[b]) << " sound alike";
            }
        }
    }
}

TEST (HostedDriveModes, ReopenedProjectSoundsAsSavedWhateverModesCameBefore)
{
    // Disto after Fuzz keeps Fuzz's 6 kHz low-pass, Tape after Soft plays at 11 kHz instead of
    // the 10 kHz of a new instance's Tape.
    for (const auto& [first, second] : { std::pair (Character::fuzz, Character::disto), std::pair (Character::soft, Character::tape) })
    {
        SCOPED_TRACE (juce::String (nameOf (first)) + " then " + nameOf (second));
        juce::String error;
        auto original = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
        auto reopened = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
        ASSERT_TRUE (original != nullptr && reopened != nullptr) << error;

        auto* drive = HostedPlugin::findParameter (*original, "Drive");
        ASSERT_NE (drive, nullptr);
        drive->setValueNotifyingHost (drive->getValueForText ("20.0"));
        original->prepareToPlay (rate, block);
        select (*original, first);
        play (*original, Signals::noise (2, 4 * block, 1, 0.5f));
        select (*original, second);
        play (*original, Signals::noise (2, 4 * block, 2, 0.5f));

        juce::MemoryBlock state;
        original->getStateInformation (state);
        reopened->setStateInformation (state.getData(), static_cast<int> (state.getSize()));
        reopened->prepareToPlay (rate, block);

        // Compared once the reopened instance's 0.3 s gain ramps and mode crossfade have ended.
        const int frames = static_cast<int> (0.6 * rate), settled = static_cast<int> (0.4 * rate);
        const auto noise = Signals::noise (2, frames, 3, 0.5f);
        EXPECT_LT (Signals::differenceDb (play (*original, noise), play (*reopened, noise), settled), -100.0);
    }
}
