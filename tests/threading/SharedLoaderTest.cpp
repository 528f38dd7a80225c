// Console stages of several instances on audio threads of their own, as a host that processes its
// tracks in parallel runs them, while the message thread keeps choosing consoles for them: every
// stage pushes onto the one loader they share. Built once more under ThreadSanitizer.

#include <gtest/gtest.h>

#include <thread>

#include "engine/console/ConsoleLibrary.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/Signals.h"

namespace
{
void process (ConsoleConvolution& stage, juce::AudioBuffer<float>& buffer)
{
    juce::dsp::AudioBlock<float> block (buffer);
    stage.process (juce::dsp::ProcessContextReplacing<float> (block));
}
} // namespace

TEST (SharedLoader, StagesOnSeveralAudioThreadsEachEndOnTheConsoleLastChosen)
{
    constexpr int numStages = 4, block = 256;
    juce::Random random (77);
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    const auto allocationsBefore = AllocationCounter::audioThreadAllocations();

    ConsoleConvolution stages[numStages];
    std::atomic<bool> running{ true };
    std::vector<std::thread> audioThreads;

    for (auto& stage : stages)
    {
        stage.prepare ({ 48000.0, block, 2 });
        audioThreads.emplace_back ([&stage, &running, seed = random.nextInt()]
            {
                juce::Random blockSizes (seed);
                auto input = Signals::noise (2, block, seed, 0.5f);
                AllocationCounter::markCurrentThreadAsAudioThread (true);

                while (running)
                {
                    juce::AudioBuffer<float> chunk (input.getArrayOfWritePointers(), 2, 1 + blockSizes.nextInt (block));
                    process (stage, chunk);
                } });
    }

    const auto lastConsole = [] (int stage)
    { return ConsoleLibrary::u + stage % 4; };

    for (const auto until = juce::Time::getMillisecondCounterHiRes() + 1500.0; juce::Time::getMillisecondCounterHiRes() < until;)
    {
        ConsoleLibrary::applyConsole (stages[random.nextInt (numStages)], 1 + random.nextInt (5), 0.0f, formats);
        juce::Thread::sleep (random.nextInt (3));
    }

    for (int i = 0; i < numStages; ++i)
        ConsoleLibrary::applyConsole (stages[i], lastConsole (i), 0.0f, formats);

    juce::Thread::sleep (500); // the engines are built, installed and faded in meanwhile
    running = false;

    for (auto& thread : audioThreads)
        thread.join();

    EXPECT_EQ (AllocationCounter::audioThreadAllocations() - allocationsBefore, 0) << "allocations on the audio threads";
    EXPECT_TRUE (ConvolutionLoader::writesAreLocked()) << "the loader's queue is written under its lock";

    // Each stage now sounds as one that only ever had its last console, once the compressors'
    // envelopes have forgotten what came before.
    for (int i = 0; i < numStages; ++i)
    {
        ConsoleConvolution reference;
        ConsoleLibrary::applyConsole (reference, lastConsole (i), 0.0f, formats);
        reference.prepare ({ 48000.0, block, 2 });

        for (int b = 0; b < 100; ++b)
        {
            auto ours = Signals::noise (2, block, b, 0.5f), theirs = ours;
            process (stages[i], ours);
            process (reference, theirs);

            for (int ch = 0; b >= 60 && ch < 2; ++ch)
                for (int s = 0; s < block; ++s)
                    ASSERT_NEAR (ours.getSample (ch, s), theirs.getSample (ch, s), 1.0e-4f) << "stage " << i;
        }
    }
}
