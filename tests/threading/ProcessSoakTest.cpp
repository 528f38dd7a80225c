// The processor in-process with a real audio thread, while the message thread does everything a
// user and a host do at once: automation, state restores, console choices, preset loads, editors
// opening and closing, re-preparation. Built once more under ThreadSanitizer by the test command.
//
// It links the engine alone: an editor here is JUCE's generic one, which attaches to every
// parameter, and opening or closing it also drives the spectrum feed as the plug-in's own window
// does. That window against a running audio thread is soaked through the built bundle (HostSoak).
//
// MORVANTA_THREADING_SECONDS sets the duration (default 10).

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "editor/SpectrumMath.h"
#include "engine/PluginProcessor.h"
#include "engine/console/ConsoleLibrary.h"
#include "tests/engine/ProcessorTestSupport.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/MessageLoop.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/SoakSupport.h"

#ifndef MORVANTA_THREADING_DEFAULT_SECONDS
#define MORVANTA_THREADING_DEFAULT_SECONDS "10"
#endif

namespace
{
double durationSeconds()
{
    const auto text = juce::SystemStats::getEnvironmentVariable ("MORVANTA_THREADING_SECONDS", MORVANTA_THREADING_DEFAULT_SECONDS);
    return juce::jmax (0.5, text.getDoubleValue());
}

class AudioThread : public SoakSupport::AudioThread
{
public:
    AudioThread (MorvantaProcessor& p, int channelsIn, int maxBlockIn, int seed)
        : processor (p)
        , channels (channelsIn)
        , maxBlock (maxBlockIn)
        , random (seed)
    {
        storage.setSize (channels, maxBlock);
        start();
    }

    ~AudioThread() override { stop(); }

    float badSample = 0.0f;
    juce::int64 blocks = 0;
    std::int64_t allocations = 0;

private:
    void run() override
    {
        juce::MidiBuffer midi;
        AllocationCounter::markCurrentThreadAsAudioThread (true);
        const auto before = AllocationCounter::audioThreadAllocations();
        const double rate = processor.getSampleRate();

        while (running && ! failed)
        {
            const int n = 1 + random.nextInt (random.nextInt (8) == 0 ? maxBlock : juce::jmin (maxBlock, 96));
            juce::AudioBuffer<float> block (storage.getArrayOfWritePointers(), channels, n);

            for (int i = 0; i < n; ++i)
            {
                phase += 97.0 / rate;
                const float x = 0.8f * static_cast<float> (std::sin (juce::MathConstants<double>::twoPi * phase));

                for (int c = 0; c < channels; ++c)
                    block.setSample (c, i, x);
            }

            const float inputPeak = block.getMagnitude (0, n);

            {
                // The framework holds the callback lock around every processBlock.
                const juce::ScopedLock lock (processor.getCallbackLock());
                processor.processBlock (block, midi);
            }

            ++blocks;

            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < n; ++i)
                {
                    const float y = block.getSample (c, i);

                    if (! SoakSupport::withinBound (y, inputPeak))
                    {
                        badSample = y;
                        failed = true;
                    }
                }
        }

        allocations = AllocationCounter::audioThreadAllocations() - before;
        AllocationCounter::markCurrentThreadAsAudioThread (false);
    }

    MorvantaProcessor& processor;
    const int channels, maxBlock;
    juce::Random random;
    juce::AudioBuffer<float> storage;
    double phase = 0.0;
};

juce::AudioBuffer<float> consoleResponse (juce::Random& random)
{
    return Signals::make (1, 17 + random.nextInt (4), [&random] (int, int i)
        { return i < 7 ? random.nextFloat() * 2.0f - 1.0f : 0.0f; });
}

/** Drains the spectrum feed the way the display does: whole 4096-sample blocks, 50 % overlap. */
void readSpectrumFeed (MorvantaProcessor& p)
{
    if (! p.analyserDataReady.load())
        return;

    while (p.analyserFifo.getNumReady() >= SpectrumMath::fftSize)
    {
        int start1, size1, start2, size2;
        p.analyserFifo.prepareToRead (SpectrumMath::fftSize, start1, size1, start2, size2);
        volatile float sink = 0.0f;

        if (size1 > 0)
            sink = sink + p.analyserBuffer.getSample (0, start1);

        if (size2 > 0)
            sink = sink + p.analyserBuffer.getSample (0, start2);

        p.analyserFifo.finishedRead ((size1 + size2) / 2);
    }

    p.analyserDataReady.exchange (false);
}
} // namespace

/** A few preset files of random settings, as the preset browser would hand them over. */
juce::Array<juce::File> writePresets (const juce::File& folder, juce::Random& random)
{
    juce::Array<juce::File> files;
    folder.createDirectory();

    for (int i = 0; i < 4; ++i)
    {
        MorvantaProcessor source;

        for (auto* parameter : source.getParameters())
            parameter->setValueNotifyingHost (random.nextFloat());

        const auto file = folder.getChildFile (juce::String (i) + "-Random.mrv");
        juce::FileOutputStream out (file);
        out.setPosition (0);
        out.truncate();
        source.parameters.copyState().writeToStream (out);
        files.add (file);
    }

    return files;
}

TEST (ProcessSoak, MessageThreadWorkNeverDisturbsTheAudioThread)
{
    const double seconds = durationSeconds();
    juce::Random random (4242);
    juce::int64 blocks = 0, actions = 0, editorsOpened = 0, presetsLoaded = 0, consolesChosen = 0;

    const ScratchFolder presetFolder ("morvanta-soak-presets");
    const auto presets = writePresets (presetFolder.getFile(), random);
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();

    for (const int channels : { 2, 1 })
    {
        SCOPED_TRACE (channels);
        MorvantaProcessor p;
        ProcessorTestSupport::prepare (p, 48000.0, 512, channels);

        const auto end = juce::Time::getMillisecondCounterHiRes() + seconds * 500.0;
        auto audio = std::make_unique<AudioThread> (p, channels, 512, random.nextInt());
        std::unique_ptr<juce::AudioProcessorEditor> editor;

        while (juce::Time::getMillisecondCounterHiRes() < end && ! audio->failed)
        {
            const int action = random.nextInt (100);
            auto& params = p.getParameters();

            if (action < 50)
            {
                auto* parameter = params[random.nextInt (params.size())];
                parameter->setValueNotifyingHost (random.nextBool() ? random.nextFloat() : (random.nextBool() ? 0.0f : 1.0f));
            }
            else if (action < 60)
            {
                juce::MemoryBlock state;
                p.getStateInformation (state);
                p.setStateInformation (state.getData(), static_cast<int> (state.getSize()));
            }
            else if (action < 65)
            {
                // The console buttons' own path: decode the embedded response and hand it over.
                ConsoleLibrary::applyConsole (p.console, 1 + random.nextInt (5), ProcessorTestSupport::raw (p, "Drive"), formats);
                ++consolesChosen;
            }
            else if (action < 68)
            {
                p.console.switchOn (random.nextBool(), random.nextBool(), ProcessorTestSupport::raw (p, "Drive"));
                p.console.publishImpulseResponse (consoleResponse (random), 88200.0f);
            }
            else if (action < 70)
            {
                p.loadPreset (presets[random.nextInt (presets.size())]);
                ++presetsLoaded;
            }
            else if (action < 73)
                p.grain.driveMode.store (random.nextInt (GrainMath::numModes));
            else if (action < 75)
                p.setOversampling (MorvantaProcessor::oversamplingFactors[static_cast<size_t> (random.nextInt (4))]);
            else if (action < 80)
                p.console.setThreshold (50.0f * random.nextFloat());
            else if (action < 83)
            {
                // The plug-in's window sizes the spectrum feed when it opens and starts reading
                // it; closing it switches the feed off.
                if (editor != nullptr)
                {
                    editor.reset();
                    p.closeSpectrumFeed();
                }
                else
                {
                    editor.reset (p.createEditor());
                    p.openSpectrumFeed();
                    ++editorsOpened;
                }
            }
            else if (action < 85)
            {
                if (random.nextBool())
                    p.openSpectrumFeed();
                else
                    p.closeSpectrumFeed();
            }
            else if (action < 88)
            {
                // A host re-preparing: processing stops first, as the framework guarantees.
                audio->stop();
                ASSERT_FALSE (audio->failed) << audio->badSample;
                blocks += audio->blocks;
                EXPECT_EQ (audio->allocations, 0);
                p.releaseResources();
                ProcessorTestSupport::prepare (p, random.nextBool() ? 44100.0 : 96000.0, 64 + random.nextInt (1000), channels);
                audio = std::make_unique<AudioThread> (p, channels, static_cast<int> (p.spec.maximumBlockSize), random.nextInt());
            }
            else
                readSpectrumFeed (p);

            ++actions;
            MessageLoop::pump (1);
        }

        editor.reset();
        audio->stop();
        EXPECT_FALSE (audio->failed) << "output sample " << audio->badSample;
        EXPECT_EQ (audio->allocations, 0) << "allocations on the audio thread";
        blocks += audio->blocks;
        p.closeSpectrumFeed();
    }

    std::printf ("process soak: %.1f s, %lld blocks, %lld message-thread actions (%lld editors opened, %lld presets loaded, %lld consoles chosen)\n",
        seconds,
        static_cast<long long> (blocks),
        static_cast<long long> (actions),
        static_cast<long long> (editorsOpened),
        static_cast<long long> (presetsLoaded),
        static_cast<long long> (consolesChosen));
    EXPECT_GT (blocks, 0);
}
