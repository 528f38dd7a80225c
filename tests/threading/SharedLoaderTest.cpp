// Console stages of several instances on audio threads of their own, as a host that processes its
// tracks in parallel runs them, while the message thread keeps choosing consoles for them: every
// stage pushes onto the one loader they share. Built once more under ThreadSanitizer.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/ConsoleLibrary.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/Signals.h"
#include "tests/support/SoakSupport.h"

namespace
{
constexpr double rate = 48000.0;
constexpr int maxBlock = 256;

void process (ConsoleConvolution& stage, juce::AudioBuffer<float>& buffer)
{
    juce::dsp::AudioBlock<float> block (buffer);
    stage.process (juce::dsp::ProcessContextReplacing<float> (block));
}

class StageThread : public SoakSupport::AudioThread
{
public:
    StageThread (ConsoleConvolution& s, int seed)
        : stage (s)
        , random (seed)
        , storage (Signals::noise (2, maxBlock, seed, 0.5f))
    {
        start();
    }

    ~StageThread() override { stop(); }

private:
    void run() override
    {
        AllocationCounter::markCurrentThreadAsAudioThread (true);

        while (running)
        {
            juce::AudioBuffer<float> block (storage.getArrayOfWritePointers(), 2, 1 + random.nextInt (maxBlock));
            process (stage, block);
        }

        AllocationCounter::markCurrentThreadAsAudioThread (false);
    }

    ConsoleConvolution& stage;
    juce::Random random;
    juce::AudioBuffer<float> storage;
};
} // namespace

TEST (SharedLoader, StagesOnSeveralAudioThreadsEachEndOnTheConsoleLastChosen)
{
    constexpr int numStages = 4;
    juce::Random random (77);
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    const auto pushesBefore = ConvolutionLoader::lockedPushes();
    const auto allocationsBefore = AllocationCounter::audioThreadAllocations();

    std::vector<std::unique_ptr<ConsoleConvolution>> stages;
    std::vector<std::unique_ptr<StageThread>> threads;

    for (int i = 0; i < numStages; ++i)
    {
        stages.push_back (std::make_unique<ConsoleConvolution>());
        stages.back()->prepare ({ rate, maxBlock, 2 });
        threads.push_back (std::make_unique<StageThread> (*stages.back(), random.nextInt()));
    }

    const auto lastConsole = [] (int stage)
    { return ConsoleLibrary::u + stage % 4; };
    const auto until = juce::Time::getMillisecondCounterHiRes() + 1500.0;

    while (juce::Time::getMillisecondCounterHiRes() < until)
    {
        ConsoleLibrary::applyConsole (*stages[(size_t) random.nextInt (numStages)], 1 + random.nextInt (5), 0.0f, formats);
        juce::Thread::sleep (random.nextInt (3));
    }

    for (int i = 0; i < numStages; ++i)
        ConsoleLibrary::applyConsole (*stages[(size_t) i], lastConsole (i), 0.0f, formats);

    juce::Thread::sleep (500); // the engines are built, installed and faded in meanwhile

    for (auto& thread : threads)
        thread->stop();

    EXPECT_EQ (AllocationCounter::audioThreadAllocations() - allocationsBefore, 0) << "allocations on the audio threads";
    EXPECT_GT (ConvolutionLoader::lockedPushes(), pushesBefore) << "the loader's queue is written under its lock";

    // Each stage now sounds as a stage that only ever had its last console, once the
    // compressors' envelopes have forgotten what came before.
    for (int i = 0; i < numStages; ++i)
    {
        ConsoleConvolution reference;
        ConsoleLibrary::applyConsole (reference, lastConsole (i), 0.0f, formats);
        reference.prepare ({ rate, maxBlock, 2 });
        float worst = 0.0f;

        for (int b = 0; b < 100; ++b)
        {
            auto ours = Signals::noise (2, maxBlock, b, 0.5f);
            auto theirs = ours;
            process (*stages[(size_t) i], ours);
            process (reference, theirs);

            if (b >= 60)
                for (int ch = 0; ch < 2; ++ch)
                    for (int s = 0; s < maxBlock; ++s)
                        worst = juce::jmax (worst, std::abs (ours.getSample (ch, s) - theirs.getSample (ch, s)));
        }

        EXPECT_LT (worst, 1.0e-4f) << "stage " << i;
    }
}
