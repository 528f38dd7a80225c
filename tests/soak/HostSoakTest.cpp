// Runs the built bundle through JUCE's VST3 hosting for a bounded time, the way a busy DAW session
// treats it: many sample rates, both layouts, awkward block sizes, random automation, state saved
// and restored mid-stream, re-preparation, and the editor opened and closed while audio runs.
//
// MORVANTA_SOAK_SECONDS sets the total duration (default 60).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "tests/support/AllocationCounter.h"
#include "tests/support/Buses.h"
#include "tests/support/MessageLoop.h"
#include "tests/support/Signals.h"
#include "tests/support/SoakSupport.h"
#include "tools/host/HostedPlugin.h"
#include "tools/host/SavedStateEdit.h"

using MessageLoop::pump;

namespace
{
// The editor's size range and aspect ratio (900 / 350 in single precision), which this program
// cannot name: it loads the plug-in as a host does and links no editor code.
constexpr int editorMinimumWidth = 450, editorMaximumWidth = 1800;
constexpr double editorAspectRatio = 900.0f / 350.0f;

double soakSeconds()
{
    const auto text = juce::SystemStats::getEnvironmentVariable ("MORVANTA_SOAK_SECONDS", "60");
    return juce::jmax (1.0, text.getDoubleValue());
}

struct Figures
{
    juce::int64 blocks = 0;
    juce::int64 processCalls = 0;
    juce::int64 automationEvents = 0;
    juce::int64 stateRestores = 0;
    juce::int64 editorCycles = 0;
    juce::int64 preparations = 0;
    double worstBlockSeconds = 0.0;
    std::int64_t audioAllocations = 0;
    std::int64_t allowedAllocations = 0;
};

/** Test signal: a slow sweep with noise, and now and then a full-scale square. */
struct SignalGenerator
{
    explicit SignalGenerator (double sampleRateIn, int seed)
        : sampleRate (sampleRateIn)
        , random (seed)
    {
    }

    void fill (juce::AudioBuffer<float>& buffer, int numSamples)
    {
        for (int i = 0; i < numSamples; ++i)
        {
            const double frequency = 40.0 + 8000.0 * (0.5 + 0.5 * std::sin (sweepPhase));
            sweepPhase += 0.05 / sampleRate;
            phase += frequency / sampleRate;
            phase -= std::floor (phase);

            const bool square = (frame / static_cast<juce::int64> (sampleRate)) % 5 == 4;
            const float tone = square ? (phase < 0.5 ? 1.0f : -1.0f) : 0.6f * static_cast<float> (std::sin (juce::MathConstants<double>::twoPi * phase));
            ++frame;

            for (int c = 0; c < buffer.getNumChannels(); ++c)
                buffer.setSample (c, i, tone + 0.05f * (random.nextFloat() - 0.5f));
        }
    }

    double sampleRate;
    juce::Random random;
    double phase = 0.0, sweepPhase = 0.0;
    juce::int64 frame = 0;
};

class AudioThread : public SoakSupport::AudioThread
{
public:
    AudioThread (juce::AudioPluginInstance& p, int channelsIn, int maxBlockIn, const std::vector<int>& sizesIn, double sampleRate, int seed, std::int64_t perCall)
        : expectedPerCall (perCall)
        , plugin (p)
        , channels (channelsIn)
        , maxBlock (maxBlockIn)
        , sizes (sizesIn)
        , generator (sampleRate, seed)
        , random (seed + 1)
    {
        buffer.setSize (channels, maxBlock);
        oddCalls.reserve (4);
        start();
    }

    juce::String failure;
    juce::int64 blocks = 0;
    double worstBlockSeconds = 0.0;
    std::int64_t allocations = 0;
    const std::int64_t expectedPerCall;

    // JUCE 7.0.5's VST3 client wrapper (JuceVST3Component::processAudio, around the call of
    // processBlock) occasionally allocates once more than its usual once per call. The
    // plug-in's own processBlock is proven allocation-free in-process (ProcessSoak).
    static constexpr std::int64_t wrapperSlack = 1;

    // MinGW has no native thread-local storage: GCC emulates it, and a thread's first use of a
    // thread_local allocates the thread's copy (and its table of copies). The VST3 wrapper has
    // one, which a thread first uses at the first block that carries a parameter change: once
    // per audio thread, at most this many allocations more.
#if JUCE_WINDOWS
    static constexpr std::int64_t threadLocalFirstUse = 4;
#else
    static constexpr std::int64_t threadLocalFirstUse = 0;
#endif

    struct OddCall
    {
        juce::int64 index;
        int size;
        std::int64_t allocations;
    };
    std::vector<OddCall> oddCalls;

    ~AudioThread() override { stop(); }

private:
    void run() override
    {
        juce::MidiBuffer midi;
        auto firstUseAllowed = threadLocalFirstUse;
        AllocationCounter::markCurrentThreadAsAudioThread (true);
        const auto before = AllocationCounter::audioThreadAllocations();

        while (running && ! failed)
        {
            int n = sizes[static_cast<size_t> (random.nextInt (static_cast<int> (sizes.size())))];
            if (n <= 0)
                n = 1 + random.nextInt (maxBlock);

            juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), channels, n);
            generator.fill (block, n);
            const float inputPeak = block.getMagnitude (0, n);

            const auto allocationsBefore = AllocationCounter::audioThreadAllocations();
            const auto began = std::chrono::steady_clock::now();
            plugin.processBlock (block, midi);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
            const auto callAllocations = AllocationCounter::audioThreadAllocations() - allocationsBefore;

            const auto beyond = callAllocations - (expectedPerCall + wrapperSlack);

            if (beyond > 0 && beyond <= firstUseAllowed)
                firstUseAllowed = 0;
            else if (beyond > 0 && oddCalls.size() < oddCalls.capacity())
                oddCalls.push_back ({ blocks, n, callAllocations });

            worstBlockSeconds = juce::jmax (worstBlockSeconds, took.count());
            ++blocks;

            for (int c = 0; c < channels && ! failed; ++c)
                for (int i = 0; i < n; ++i)
                {
                    const float y = block.getSample (c, i);

                    if (! SoakSupport::withinBound (y, inputPeak))
                    {
                        failure = "sample " + juce::String (y) + " for input peak " + juce::String (inputPeak);
                        failed = true;
                        break;
                    }
                }
        }

        allocations = AllocationCounter::audioThreadAllocations() - before;
        AllocationCounter::markCurrentThreadAsAudioThread (false);
    }

    juce::AudioPluginInstance& plugin;
    const int channels, maxBlock;
    const std::vector<int> sizes;
    SignalGenerator generator;
    juce::Random random;
    juce::AudioBuffer<float> buffer;
};

/** Allocations JUCE's own VST3 layers make per host process call, measured with the plug-in
        bypassed by the host (its processBlock is then never called). Measured on a thread of its
        own after uncounted warm-up calls: the first process call from a thread other than the
        message thread, and the first block that carries a change of every parameter, make
        one-off allocations inside JUCE's hosting and client layers (queues growing once). */
std::int64_t wrapperAllocationsPerCall (juce::AudioPluginInstance& plugin, int channels)
{
    auto* bypass = plugin.getBypassParameter();

    if (bypass == nullptr)
        return 0;

    bypass->setValueNotifyingHost (1.0f);
    std::int64_t perCall = 0;

    std::thread measure ([&]
        {
            auto buffer = Signals::silence (channels, 64);
            juce::MidiBuffer midi;

            for (int round = 0; round < 3; ++round)
            {
                for (int i = 0; i < 15; ++i)
                    plugin.getParameters()[i]->setValueNotifyingHost (static_cast<float> ((round + i) % 2));

                plugin.processBlock (buffer, midi);
            }

            constexpr int calls = 50;
            const AllocationCounter::Scope scope;

            for (int i = 0; i < calls; ++i)
                plugin.processBlock (buffer, midi);

            perCall = scope.allocations() / calls; });
    measure.join();

    bypass->setValueNotifyingHost (0.0f);
    return perCall;
}

void automate (juce::AudioPluginInstance& plugin, juce::Random& random, Figures& figures)
{
    auto& params = plugin.getParameters();
    const int index = random.nextInt (15);
    auto* parameter = params[index];
    float value = random.nextFloat();

    // Extremes are where things break: half of the moves go to an end of the range.
    if (random.nextBool())
        value = random.nextBool() ? 0.0f : 1.0f;

    parameter->beginChangeGesture();
    parameter->setValueNotifyingHost (value);
    parameter->endChangeGesture();
    ++figures.automationEvents;
}

void cycleEditor (juce::AudioPluginInstance& plugin, juce::Random& random, Figures& figures)
{
    if (! plugin.hasEditor() || juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        return;

    std::unique_ptr<juce::AudioProcessorEditor> editor (plugin.createEditorIfNeeded());

    if (editor == nullptr)
        return;

    juce::Component window;
    window.setSize (editor->getWidth(), editor->getHeight());
    window.addAndMakeVisible (*editor);
    window.addToDesktop (juce::ComponentPeer::windowIsTemporary);
    window.setVisible (true);
    pump (60);

    const int width = editorMinimumWidth + random.nextInt (editorMaximumWidth - editorMinimumWidth + 1);
    editor->setSize (width, juce::roundToInt (width / editorAspectRatio));
    window.setSize (editor->getWidth(), editor->getHeight());
    pump (60);

    // JUCE 7.0.5's host-side X11 embedding answers each configure event of the plug-in's window
    // with an asynchronous callback that holds a raw pointer to the embedding: deleting the
    // hosted editor while one is still queued crashes the host (not the plug-in). A host lets
    // a resize settle before a window closes; so does this one.
    window.setVisible (false);
    pump (250);

    window.removeChildComponent (editor.get());
    editor.reset();
    window.removeFromDesktop();
    pump (10);
    ++figures.editorCycles;
}
} // namespace

TEST (HostSoak, SurvivesABusySessionWithoutAllocatingOnTheAudioThread)
{
    const double total = soakSeconds();
    const double rates[] = { 22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 192000.0 };
    const std::vector<int> blockSizes[] = { { 1 }, { 2 }, { 63 }, { 64 }, { 512 }, { 4096 }, { 0 } };
    const int segments = static_cast<int> (std::size (rates)) * 2;
    const double perSegment = total / segments;

    Figures figures;
    juce::Random random (20261207);

    for (const double rate : rates)
    {
        for (const int channels : { 1, 2 })
        {
            SCOPED_TRACE (juce::String (rate) + " Hz, channels " + juce::String (channels));
            const int maxBlock = 4096;

            juce::String error;
            auto plugin = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, maxBlock, error);
            ASSERT_NE (plugin, nullptr) << error;
            ASSERT_TRUE (plugin->setBusesLayout (Buses::layout (channels)));
            plugin->prepareToPlay (rate, maxBlock);
            ++figures.preparations;

            const auto perCall = wrapperAllocationsPerCall (*plugin, channels);
            const auto segmentEnd = juce::Time::getMillisecondCounterHiRes() + perSegment * 1000.0;
            int phase = 0;

            while (juce::Time::getMillisecondCounterHiRes() < segmentEnd)
            {
                const auto& sizes = blockSizes[static_cast<size_t> (phase++ % static_cast<int> (std::size (blockSizes)))];
                auto audio = std::make_unique<AudioThread> (*plugin, channels, maxBlock, sizes, plugin->getSampleRate(), random.nextInt(), perCall);

                const auto stintEnd = juce::jmin (segmentEnd, juce::Time::getMillisecondCounterHiRes() + 1500.0);

                while (juce::Time::getMillisecondCounterHiRes() < stintEnd && ! audio->failed)
                {
                    const int action = random.nextInt (100);

                    if (action < 80)
                        automate (*plugin, random, figures);
                    else if (action < 90)
                    {
                        // Half of the restores bring another oversampling factor, and with
                        // it a fade, new latency and the drive at another rate.
                        juce::MemoryBlock state;
                        plugin->getStateInformation (state);

                        if (random.nextBool())
                            state = SavedStateEdit::withEngineAttribute (*plugin, "oversampling", "1248"[random.nextInt (4)]);

                        plugin->setStateInformation (state.getData(), static_cast<int> (state.getSize()));
                        ++figures.stateRestores;
                    }
                    else if (action < 93)
                        cycleEditor (*plugin, random, figures);

                    pump (5);
                }

                audio->stop();
                ASSERT_FALSE (audio->failed) << audio->failure;

                for (const auto& odd : audio->oddCalls)
                    ADD_FAILURE() << "process call " << odd.index << " (" << odd.size << " samples) allocated " << odd.allocations << " times";

                figures.blocks += audio->blocks;
                figures.processCalls += audio->blocks;
                figures.audioAllocations += audio->allocations;
                figures.allowedAllocations += audio->blocks * perCall;
                figures.worstBlockSeconds = juce::jmax (figures.worstBlockSeconds, audio->worstBlockSeconds);

                // Hosts re-prepare between stints, sometimes at another rate.
                plugin->releaseResources();
                const double newRate = random.nextInt (4) == 0 ? rates[random.nextInt (static_cast<int> (std::size (rates)))] : rate;
                plugin->prepareToPlay (newRate, maxBlock);
                ++figures.preparations;
            }

            plugin->releaseResources();
        }
    }

    std::printf ("soak: %.0f s, %lld blocks, %lld automation events, %lld state restores, %lld editor cycles, %lld preparations, "
                 "worst block %.2f ms, audio-thread allocations %lld (JUCE's VST3 layers: %lld)\n",
        total,
        static_cast<long long> (figures.blocks),
        static_cast<long long> (figures.automationEvents),
        static_cast<long long> (figures.stateRestores),
        static_cast<long long> (figures.editorCycles),
        static_cast<long long> (figures.preparations),
        figures.worstBlockSeconds * 1000.0,
        static_cast<long long> (figures.audioAllocations),
        static_cast<long long> (figures.allowedAllocations));

    // JUCE's VST3 layers allocate about a fixed amount per call (measured bypassed); every call
    // stayed within it (checked per call above), so the total can only exceed it by the
    // wrapper's occasional extra one.
    EXPECT_GE (figures.audioAllocations, figures.allowedAllocations);
    // A sanity bound against hangs, not a performance target: a 4096-sample block at 22 kHz
    // lasts 186 ms.
    EXPECT_LT (figures.worstBlockSeconds, 0.5);
}
