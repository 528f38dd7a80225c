#include <gtest/gtest.h>

#include <cmath>

#include "engine/PluginProcessor.h"
#include "tests/host/SavedStateEdit.h"
#include "tests/support/ConsoleWav.h"
#include "tools/host/HostedPlugin.h"

namespace
{
constexpr double rate = 48000.0;
constexpr int block = 256;
constexpr int blocks = 400; // a little over two seconds

juce::AudioBuffer<float> input (int n)
{
    juce::AudioBuffer<float> b (2, n);

    for (int i = 0; i < n; ++i)
    {
        const auto v = 0.4f * (float) std::sin (juce::MathConstants<double>::twoPi * 330.0 * i / rate) + 0.2f * (float) std::sin (juce::MathConstants<double>::twoPi * 55.0 * i / rate);
        b.setSample (0, i, v);
        b.setSample (1, i, v);
    }

    return b;
}

/** The whole signal through a processor in blocks, as a host's audio thread would. */
juce::AudioBuffer<float> render (juce::AudioProcessor& p)
{
    auto signal = input (blocks * block);
    juce::MidiBuffer midi;

    for (int start = 0; start < signal.getNumSamples(); start += block)
    {
        juce::AudioBuffer<float> view (signal.getArrayOfWritePointers(), 2, start, block);
        p.processBlock (view, midi);
        // Leaves the convolution's loader thread time to build the new engine, as real time does.
        juce::Thread::sleep (1);
    }

    return signal;
}

std::unique_ptr<juce::AudioPluginInstance> fresh()
{
    juce::String error;
    auto plugin = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
    EXPECT_NE (plugin, nullptr) << error;
    return plugin;
}

double rmsOfLastSecond (const juce::AudioBuffer<float>& b)
{
    const auto n = (int) rate;
    return b.getRMSLevel (0, b.getNumSamples() - n, n);
}
} // namespace

TEST (HostedConsoleState, AProjectSavedWithConsoleUComesBackAudibleWithNoEditorOpen)
{
    auto original = fresh();
    ASSERT_NE (original, nullptr);
    auto* drive = HostedPlugin::findParameter (*original, "Drive");
    ASSERT_NE (drive, nullptr);
    drive->setValueNotifyingHost (drive->getValueForText ("30.0"));
    ASSERT_EQ (drive->getCurrentValueAsText(), "30.0");

    const auto savedWithU = SavedStateEdit::withEngineAttribute (*original, "consoleIndex", '2');
    ASSERT_GT (savedWithU.getSize(), 0u) << "the host state carries the console index";
    const auto savedWithoutConsole = SavedStateEdit::withEngineAttribute (*original, "consoleIndex", '1');

    auto reopened = fresh();
    auto plain = fresh();
    ASSERT_TRUE (reopened != nullptr && plain != nullptr);
    reopened->setStateInformation (savedWithU.getData(), (int) savedWithU.getSize());
    plain->setStateInformation (savedWithoutConsole.getData(), (int) savedWithoutConsole.getSize());

    for (auto* p : { reopened.get(), plain.get() })
    {
        p->prepareToPlay (rate, block);
        EXPECT_EQ (p->getActiveEditor(), nullptr);
    }

    const auto withU = render (*reopened);
    const auto withoutConsole = render (*plain);

    // The console's compression and 19 dB makeup are heard.
    EXPECT_GT (std::abs (rmsOfLastSecond (withU) - rmsOfLastSecond (withoutConsole)), 0.05 * rmsOfLastSecond (withoutConsole));

    // The same engine in-process, handed console "U" directly (its response read straight from
    // the WAV and negated) with Drive at 30, sounds the same once both have settled: the hosted
    // instance came back with the "U" response, its makeup and a -21 dB threshold.
    MorvantaProcessor reference;
    auto* referenceDrive = reference.parameters.getParameter ("Drive");
    referenceDrive->setValueNotifyingHost (referenceDrive->convertTo0to1 (30.0f));
    const auto u = ConsoleWav::table()[0];
    const auto response = ConsoleWav::handedOver (u);
    juce::AudioBuffer<float> ir (1, (int) response.size());
    ir.copyFrom (0, 0, response.data(), (int) response.size());
    reference.console.switchOn (true, true, 30.0f);
    reference.console.publishImpulseResponse (std::move (ir), 88200.0f);
    reference.setPlayConfigDetails (2, 2, rate, block);
    reference.prepareToPlay (rate, block);
    const auto expected = render (reference);

    EXPECT_EQ (reference.console.getAppliedThresholdDb(), -21.0f);
    const auto n = (int) rate;
    const auto from = expected.getNumSamples() - n;
    float worst = 0.0f;

    for (int ch = 0; ch < 2; ++ch)
        for (int i = from; i < from + n; ++i)
            worst = std::max (worst, std::abs (withU.getSample (ch, i) - expected.getSample (ch, i)));

    EXPECT_LT (worst, 1.0e-4f);

    for (auto* p : { reopened.get(), plain.get() })
        p->releaseResources();
}
