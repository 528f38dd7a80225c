#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/engine/ProcessorTestSupport.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/Signals.h"

using namespace ProcessorTestSupport;

namespace
{
std::vector<float> readAll (MorvantaProcessor& p)
{
    std::vector<float> out;
    const int ready = p.analyserFifo.getNumReady();
    int start1, size1, start2, size2;
    p.analyserFifo.prepareToRead (ready, start1, size1, start2, size2);

    for (int i = 0; i < size1; ++i)
        out.push_back (p.analyserBuffer.getSample (0, start1 + i));

    for (int i = 0; i < size2; ++i)
        out.push_back (p.analyserBuffer.getSample (0, start2 + i));

    p.analyserFifo.finishedRead (size1 + size2);
    return out;
}
} // namespace

TEST (SpectrumFeed, NothingIsPushedWhileNoEditorIsOpen)
{
    MorvantaProcessor p;
    prepare (p, 48000.0, 512);
    feedSine (p, 0.1, 512, 440.0, 0.3f);
    EXPECT_EQ (p.analyserFifo.getNumReady(), 0);
    EXPECT_FALSE (p.analyserDataReady.load());

    p.openSpectrumFeed();
    p.closeSpectrumFeed();
    feedSine (p, 0.1, 512, 440.0, 0.3f);
    EXPECT_EQ (p.analyserFifo.getNumReady(), 0);
    EXPECT_FALSE (p.analyserDataReady.load());
}

TEST (SpectrumFeed, CarriesTheMonoSumOfTheProcessedChunk)
{
    MorvantaProcessor p;
    prepare (p, 48000.0, 512);
    p.openSpectrumFeed();
    EXPECT_EQ (p.analyserFifo.getTotalSize(), 48000);
    EXPECT_EQ (p.analyserFifo.getFreeSpace(), 47999);
    EXPECT_EQ (p.analyserBuffer.getNumChannels(), 1);
    EXPECT_EQ (p.analyserBuffer.getNumSamples(), 48000);

    auto same = make (2, 512, [] (int, int i)
        { return 0.001f * static_cast<float> (i % 97) - 0.04f; });
    p.pushToSpectrumFeed (same);
    EXPECT_TRUE (p.analyserDataReady.load());
    const auto pushed = readAll (p);
    ASSERT_EQ (pushed.size(), 512u);

    for (int i = 0; i < 512; ++i)
        ASSERT_EQ (pushed[static_cast<size_t> (i)], 2.0f * same.getSample (0, i)) << i;

    // Through the chain: what arrives is the chunk as it leaves, summed.
    auto chunk = make (2, 512, [] (int c, int i)
        { return sine (300.0 + 200.0 * c, 48000.0, i, 0.3f); });
    p.processChunk (chunk);
    const auto fromChain = readAll (p);
    ASSERT_EQ (fromChain.size(), 512u);

    for (int i = 0; i < 512; ++i)
        ASSERT_EQ (fromChain[static_cast<size_t> (i)], chunk.getSample (0, i) + chunk.getSample (1, i)) << i;
}

TEST (SpectrumFeed, AChunkGoesInWholeOrNotAtAll)
{
    MorvantaProcessor p;
    prepare (p, 48000.0, 512);
    p.openSpectrumFeed();

    // Leave the write position near the end so that the next write wraps around.
    auto filler = Signals::constant (1, 47000, 0.0f);
    p.pushToSpectrumFeed (filler);
    readAll (p);

    const int free = p.analyserFifo.getFreeSpace();
    auto tooLong = make (2, free + 1, [] (int, int i)
        { return static_cast<float> (i); });
    p.pushToSpectrumFeed (tooLong);
    EXPECT_EQ (p.analyserFifo.getNumReady(), 0) << "one sample more than the free space is dropped whole";

    auto exact = make (2, free, [] (int, int i)
        { return static_cast<float> (i); });
    p.pushToSpectrumFeed (exact);
    EXPECT_EQ (p.analyserFifo.getNumReady(), free);
    EXPECT_EQ (p.analyserFifo.getFreeSpace(), 0);

    const auto pushed = readAll (p);
    ASSERT_EQ (static_cast<int> (pushed.size()), free);

    for (int i = 0; i < free; i += 997)
        EXPECT_EQ (pushed[static_cast<size_t> (i)], 2.0f * static_cast<float> (i)) << "across the wrap, sample " << i;
}

TEST (SpectrumFeed, OpenedBeforeThePreparationHasNoRoom)
{
    MorvantaProcessor p;
    p.openSpectrumFeed();
    EXPECT_EQ (p.analyserFifo.getTotalSize(), 0);
    EXPECT_LT (p.analyserFifo.getFreeSpace(), 0);

    auto one = Signals::constant (2, 1, 0.5f);
    p.pushToSpectrumFeed (one);
    EXPECT_EQ (p.analyserFifo.getNumReady(), 0);
    EXPECT_FALSE (p.analyserDataReady.load());

    // A later preparation does not resize it; the next editor does.
    prepare (p, 44100.0, 256);
    feedSine (p, 0.05, 256, 440.0, 0.2f);
    EXPECT_EQ (p.analyserFifo.getNumReady(), 0);
    p.openSpectrumFeed();
    feedSine (p, 0.05, 256, 440.0, 0.2f);
    EXPECT_GT (p.analyserFifo.getNumReady(), 0);
}

TEST (SpectrumFeed, ReopeningWhileAudioRunsNeverResizesUnderAPush)
{
    // The audio thread runs processBlock under the callback lock, as the framework does, while
    // editors open and close on this thread.
    MorvantaProcessor p;
    prepare (p, 48000.0, 128);
    std::atomic<bool> stop{ false };
    std::atomic<int> blocks{ 0 };

    std::thread audio ([&]
        {
        juce::AudioBuffer<float> buffer (2, 128);
        juce::MidiBuffer midi;

        while (! stop.load())
        {
            Signals::fill (buffer, [] (int c, int i)
                { return 0.1f * static_cast<float> ((i + c) % 7); });

            const juce::ScopedLock lock (p.getCallbackLock());
            p.processBlock (buffer, midi);
            ++blocks;
        } });

    while (blocks.load() == 0)
        std::this_thread::yield();

    for (int round = 0; round < 300; ++round)
    {
        p.openSpectrumFeed();
        EXPECT_EQ (p.analyserBuffer.getNumSamples(), p.analyserFifo.getTotalSize());
        std::this_thread::yield();
        p.closeSpectrumFeed();
    }

    stop = true;
    audio.join();
    EXPECT_LT (p.analyserFifo.getNumReady(), p.analyserFifo.getTotalSize());
}

TEST (SpectrumFeed, OpensWhileAnAudioCallbackHoldsTheCallbackLock)
{
    // The editor opening allocates and frees the storage of a new rate and clears it while the
    // audio thread sits in a callback, under the lock the framework holds around processBlock:
    // had the opening taken that lock, it would wait here until the callback gave up.
    MorvantaProcessor p;
    prepare (p, 44100.0, 512);
    p.openSpectrumFeed();
    feedSine (p, 0.05, 512, 440.0, 0.5f);
    prepare (p, 48000.0, 512);

    std::atomic<bool> locked{ false }, opened{ false };
    bool gaveUp = false;

    std::thread audio ([&]
        {
        const juce::ScopedLock lock (p.getCallbackLock());
        locked = true;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (5);

        while (! opened.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();

        gaveUp = ! opened.load(); });

    while (! locked.load())
        std::this_thread::yield();

    std::int64_t heapWork = 0;
    {
        const AllocationCounter::Scope scope;
        p.openSpectrumFeed();
        heapWork = scope.allocations();
    }
    opened = true;
    audio.join();

    EXPECT_FALSE (gaveUp) << "the feed opened only once the callback lock was free";
    EXPECT_GT (heapWork, 0) << "the storage of the new rate was allocated meanwhile";
    ASSERT_EQ (p.analyserBuffer.getNumSamples(), 48000);
    EXPECT_EQ (p.analyserFifo.getNumReady(), 0);

    for (int i = 0; i < 48000; ++i)
        ASSERT_EQ (p.analyserBuffer.getSample (0, i), 0.0f) << i;
}
