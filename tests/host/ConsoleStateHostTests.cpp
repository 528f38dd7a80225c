#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "engine/PluginProcessor.h"
#include "tests/engine/ProcessorTestSupport.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/ConsoleWav.h"
#include "tests/support/MessageLoop.h"
#include "tools/host/HostedPlugin.h"
#include "tools/host/SavedStateEdit.h"

namespace
{
constexpr double rate = 48000.0;
constexpr int block = 256;

// Whole periods of both tones (and of every harmonic the drive adds) fit into 10 ms, so a steady
// sound has the same level in every 10 ms window.
juce::AudioBuffer<float> input (int n)
{
    return Signals::make (2, n, [] (int, int i)
        { return Signals::sine (300.0, rate, i, 0.4f) + Signals::sine (100.0, rate, i, 0.2f); });
}

/** `seconds` of the signal through each processor in blocks of `blockSize`: at full speed, as an
    offline bounce does, or each block at its own time, as real-time playback does. `between`
    runs before each block with the block's first frame (a host's message thread, in effect). */
std::vector<juce::AudioBuffer<float>> renderAll (std::vector<juce::AudioProcessor*> processors, double seconds, int blockSize, bool paced, const std::function<void (int)>& between = {})
{
    const int total = (int) (seconds * rate) / blockSize * blockSize;
    std::vector<juce::AudioBuffer<float>> signals (processors.size(), input (total));
    juce::MidiBuffer midi;
    const auto started = juce::Time::getMillisecondCounterHiRes();

    for (int start = 0; start < total; start += blockSize)
    {
        if (between)
            between (start);

        if (paced)
            while (juce::Time::getMillisecondCounterHiRes() - started < 1000.0 * start / rate)
                juce::Thread::yield();

        for (size_t i = 0; i < processors.size(); ++i)
        {
            juce::AudioBuffer<float> view (signals[i].getArrayOfWritePointers(), 2, start, blockSize);
            processors[i]->processBlock (view, midi);
        }
    }

    return signals;
}

float peakOf (const juce::AudioBuffer<float>& b, int from = 0)
{
    return juce::jmax (b.getMagnitude (0, from, b.getNumSamples() - from), b.getMagnitude (1, from, b.getNumSamples() - from));
}

double decibels (double gain) { return 20.0 * std::log10 (gain); }

std::unique_ptr<juce::AudioPluginInstance> fresh()
{
    juce::String error;
    auto plugin = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
    EXPECT_NE (plugin, nullptr) << error;
    return plugin;
}

/** A project saved with Tube, a Drive (dB, as text) and a console ('1' "-", '2' "U", '3' "A"). */
juce::MemoryBlock savedTubeProject (char console, const char* drive = "20.0")
{
    auto original = fresh();

    for (const auto& [name, text] : { std::pair ("Soft Button", "Off"), std::pair ("Tube Button", "On"), std::pair ("Drive", drive) })
    {
        auto* parameter = HostedPlugin::findParameter (*original, name);
        parameter->setValueNotifyingHost (parameter->getValueForText (text));
    }

    return SavedStateEdit::withEngineAttribute (*original, "consoleIndex", console);
}

void restore (juce::AudioPluginInstance& p, const juce::MemoryBlock& state) { p.setStateInformation (state.getData(), (int) state.getSize()); }

bool sameSamples (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b, int from, int to)
{
    for (int ch = 0; ch < 2; ++ch)
        if (std::memcmp (a.getReadPointer (ch, from), b.getReadPointer (ch, from), sizeof (float) * (size_t) (to - from)) != 0)
            return false;

    return true;
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

    const auto heard = renderAll ({ reopened.get(), plain.get() }, 2.0, block, false);
    const auto& withU = heard[0];
    const auto& withoutConsole = heard[1];

    // The console's compression and 19 dB makeup are heard.
    EXPECT_GT (std::abs (rmsOfLastSecond (withU) - rmsOfLastSecond (withoutConsole)), 0.05 * rmsOfLastSecond (withoutConsole));

    // The same engine in-process, handed console "U" directly (its response read straight from
    // the WAV and negated) with Drive at 30, sounds the same once both have settled: the hosted
    // instance came back with the "U" response, its makeup and a -21 dB threshold.
    MorvantaProcessor reference;
    ProcessorTestSupport::setPlain (reference, "Drive", 30.0f);
    const auto u = ConsoleWav::table()[0];
    const auto response = ConsoleWav::handedOver (u);
    juce::AudioBuffer<float> ir (1, (int) response.size());
    ir.copyFrom (0, 0, response.data(), (int) response.size());
    reference.console.switchOn (true, true, 30.0f);
    reference.console.publishImpulseResponse (std::move (ir), 88200.0f);
    ProcessorTestSupport::prepare (reference, rate, block);
    const auto expected = renderAll ({ &reference }, 2.0, block, false)[0];

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

TEST (HostedConsoleState, OfflineBouncesOfAProjectWithAConsoleEqualPlaybackFromTheFirstSample)
{
    const double seconds = 5.0;
    const char consoles[] = { '2', '3' }; // "U", "A"
    std::vector<juce::MemoryBlock> saved;
    std::vector<std::unique_ptr<juce::AudioPluginInstance>> players;

    for (const char console : consoles)
    {
        saved.push_back (savedTubeProject (console));
        players.push_back (fresh());
        ASSERT_NE (players.back(), nullptr);
        restore (*players.back(), saved.back());
        players.back()->prepareToPlay (rate, block);
    }

    // Playback: the project restored, then prepared, each block at its own time.
    const auto played = renderAll ({ players[0].get(), players[1].get() }, seconds, block, true);

    for (size_t c = 0; c < saved.size(); ++c)
    {
        const auto settledPeak = peakOf (played[c], played[c].getNumSamples() - 2 * (int) rate);
        ASSERT_GT (settledPeak, 0.01f);
        EXPECT_LE (decibels (peakOf (played[c]) / settledPeak), 0.5) << "console " << consoles[c] << ", playback";

        for (const bool restoreFirst : { true, false })
        {
            for (int bounce = 0; bounce < 3; ++bounce)
            {
                SCOPED_TRACE (juce::String ("console ") + consoles[c] + (restoreFirst ? ", restored then prepared" : ", prepared then restored") + ", bounce " + juce::String (bounce));
                auto offline = fresh();
                ASSERT_NE (offline, nullptr);
                offline->setNonRealtime (true);

                if (restoreFirst)
                    restore (*offline, saved[c]);

                offline->prepareToPlay (rate, block);

                if (! restoreFirst)
                    restore (*offline, saved[c]);

                const auto bounced = renderAll ({ offline.get() }, seconds, block, false)[0];
                float worst = 0.0f;
                int worstAt = 0;

                for (int ch = 0; ch < 2; ++ch)
                    for (int i = 0; i < bounced.getNumSamples(); ++i)
                        if (const auto d = std::abs (bounced.getSample (ch, i) - played[c].getSample (ch, i)); d > worst)
                            std::tie (worst, worstAt) = std::pair (d, i);

                EXPECT_LE (worst, 1.0e-6f * settledPeak) << "first differs most at " << worstAt / rate << " s";
                EXPECT_LE (decibels (peakOf (bounced) / settledPeak), 0.5);
                offline->releaseResources();
            }
        }
    }
}

TEST (HostedConsoleState, AFirstConsoleEngagedDuringPlaybackFadesInWithoutABurst)
{
    const auto withoutConsole = savedTubeProject ('1');
    const auto withU = savedTubeProject ('2');
    const int window = (int) rate / 100; // 10 ms

    for (const int blockSize : { 512, 64 })
    {
        SCOPED_TRACE (blockSize);
        auto p = fresh();
        ASSERT_NE (p, nullptr);
        restore (*p, withoutConsole);
        p->prepareToPlay (rate, blockSize);

        // Restoring the project with "U" mid-stream engages the stage's first console, as a
        // console click would.
        const int switchAt = (int) (0.6 * rate) / blockSize * blockSize;
        const auto engageU = [&] (int start)
        {
            if (start == switchAt)
                restore (*p, withU);
        };
        const auto out = renderAll ({ p.get() }, 1.5, blockSize, true, engageU)[0];

        const auto levelDb = [&] (int from, int length)
        { return decibels (out.getRMSLevel (0, from, length)); };
        const auto before = levelDb (switchAt - 10 * window, 10 * window);
        const auto after = levelDb (out.getNumSamples() - 20 * window, 20 * window);
        ASSERT_GT (std::abs (after - before), 1.0) << "the console is heard once it has settled";

        for (int from = switchAt; from + window <= out.getNumSamples(); from += window / 10)
            ASSERT_LE (levelDb (from, window), juce::jmax (before, after) + 1.0) << (from - switchAt) / rate << " s after the switch";

        p->releaseResources();
    }
}

TEST (HostedConsoleState, InstancesShareOneLoaderThreadAndLeaveNoThreadOrMemoryBehind)
{
    const auto threads = []
    { return juce::File ("/proc/self/task").getNumberOfChildFiles (juce::File::findDirectories); };
    const auto withU = savedTubeProject ('2');

    // Restored with console "U", prepared and heard, as a session that has just loaded: each
    // instance hears its console from the first sample, as the first one does.
    const auto session = [&] (int instances)
    {
        std::vector<std::unique_ptr<juce::AudioPluginInstance>> plugins ((size_t) instances);
        std::vector<juce::AudioProcessor*> processors;

        for (auto& p : plugins)
        {
            p = fresh();
            restore (*p, withU);
            p->prepareToPlay (rate, block);
            processors.push_back (p.get());
        }

        const auto heard = renderAll (processors, 0.05, block, false);

        for (size_t i = 1; i < heard.size(); ++i)
            EXPECT_EQ (std::memcmp (heard[i].getReadPointer (0), heard[0].getReadPointer (0), sizeof (float) * (size_t) heard[0].getNumSamples()), 0) << "instance " << i;

        return plugins;
    };

    session (1);
    const auto noInstance = threads();

    {
        const auto one = session (1);
        const auto withOne = threads();
        const auto more = session (63);
        EXPECT_EQ (threads(), withOne) << "64 instances run the one loader thread of one";
    }

    EXPECT_EQ (threads(), noInstance) << "every thread ends with the last instance";

    // Every other instance of the next 300 opens its window too. Only the windowless ones' memory
    // is counted: JUCE's host side keeps, in its own X connection, the events of each embedding
    // it tears down (the editor's own memory is counted in-process by the editor tests).
    for (const bool withWindows : { false, true })
    {
        const auto heapBefore = AllocationCounter::bytesInUse();

        for (int i = 0; i < 150; ++i)
            if (const auto plugin = session (1); withWindows)
                delete plugin.front()->createEditorIfNeeded();
            else if (i == 0)
                EXPECT_GT (AllocationCounter::bytesInUse() - heapBefore, 100000) << "the heap counted holds what a live instance holds";

        EXPECT_EQ (threads(), noInstance);

        if (! withWindows)
        {
            EXPECT_LT (AllocationCounter::bytesInUse() - heapBefore, 16384) << "bytes still taken after 150 instances came and went";
        }
    }
}

TEST (HostedBypass, TheHostsBypassFadesToTheExactInputAndBackWithoutAStep)
{
    constexpr int blockSize = 512;
    const int fade = (int) rate / 50; // 20 ms
    const int steady = (int) rate / 10;
    // Out and in, then out and in again 512 samples later, before the fade out has ended.
    const int out = 40 * blockSize, in = 80 * blockSize, reversedOut = 120 * blockSize, reversedIn = reversedOut + blockSize;

    for (const char console : { '1', '2' })
    {
        SCOPED_TRACE (console == '1' ? "no console" : "console U");
        const auto project = savedTubeProject (console, "30.0");
        auto p = fresh();
        ASSERT_NE (p, nullptr);
        restore (*p, project);
        auto* bypass = HostedPlugin::findParameter (*p, "Bypass");
        ASSERT_NE (bypass, nullptr);
        p->prepareToPlay (rate, blockSize);

        const auto switchBypass = [&] (int start)
        {
            if (start == out || start == reversedOut)
                bypass->setValueNotifyingHost (1.0f);
            else if (start == in || start == reversedIn)
                bypass->setValueNotifyingHost (0.0f);
        };
        const auto heard = renderAll ({ p.get() }, 3.0, blockSize, false, switchBypass)[0];
        const auto dry = input (heard.getNumSamples());

        // Each fade, and 1 ms past it, steps no more than the steady sounds on either side.
        for (const auto& [first, last] : { std::pair (out, out), std::pair (in, in), std::pair (reversedOut, reversedIn) })
        {
            const auto settled = std::max (Signals::largestStep (heard, first - steady, first), Signals::largestStep (heard, last + 2 * fade, last + 2 * fade + steady));
            EXPECT_LE (Signals::largestStep (heard, first - 1, last + fade + fade / 20), 1.5f * settled) << "switch at " << first / rate << " s";
        }

        EXPECT_TRUE (sameSamples (heard, dry, out + fade, in)) << "bypassed, 20 ms after the switch";

        // Bypassed from the start: the input from the first sample.
        auto q = fresh();
        ASSERT_NE (q, nullptr);
        restore (*q, project);
        HostedPlugin::findParameter (*q, "Bypass")->setValueNotifyingHost (1.0f);
        q->prepareToPlay (rate, blockSize);
        const auto passed = renderAll ({ q.get() }, 0.1, blockSize, false)[0];
        EXPECT_TRUE (sameSamples (passed, dry, 0, passed.getNumSamples())) << "bypassed from the start";

        for (auto* instance : { p.get(), q.get() })
            instance->releaseResources();
    }
}
