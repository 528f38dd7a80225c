#include <gtest/gtest.h>

#if ! defined(__aarch64__)
#include <xmmintrin.h>
#endif

#include "engine/PluginProcessor.h"
#include "engine/dsp/BlockSplitter.h"
#include "tests/engine/ProcessorTestSupport.h"
#include "tests/support/AllocationCounter.h"

namespace
{
// The caller's floating-point control word, and the bits in it that flush denormals to zero.
#if defined(__aarch64__)
constexpr unsigned flushToZero = 1u << 24; // FPCR's FZ
unsigned readControlWord() { return __builtin_aarch64_get_fpcr(); }
void writeControlWord (unsigned word) { __builtin_aarch64_set_fpcr (word); }
#else
constexpr unsigned flushToZero = 0x8040; // MXCSR's FTZ and DAZ
unsigned readControlWord() { return _mm_getcsr(); }
void writeControlWord (unsigned word) { _mm_setcsr (word); }
#endif

std::vector<int> chunkSizes (int numSamples, int limit)
{
    juce::AudioBuffer<float> host (2, numSamples);
    std::vector<int> sizes;
    BlockSplitter::forEachChunk (host, limit, [&] (juce::AudioBuffer<float>& chunk)
        { sizes.push_back (chunk.getNumSamples()); });
    return sizes;
}

int stepsToTarget (juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> smoother)
{
    smoother.setTargetValue (smoother.getCurrentValue() + 1.0f);
    int steps = 0;

    while (smoother.isSmoothing())
    {
        smoother.getNextValue();
        ++steps;
    }

    return steps;
}
} // namespace

TEST (BlockSplitting, LongBlockIsCutIntoConsecutiveChunksInOrder)
{
    juce::AudioBuffer<float> host (2, 1000);
    std::vector<const float*> starts;
    std::vector<int> sizes;

    BlockSplitter::forEachChunk (host, 256, [&] (juce::AudioBuffer<float>& chunk)
        {
        sizes.push_back (chunk.getNumSamples());
        starts.push_back (chunk.getReadPointer (1)); });

    EXPECT_EQ (sizes, (std::vector<int>{ 256, 256, 256, 232 }));
    ASSERT_EQ (starts.size(), 4u);

    for (size_t i = 0; i < starts.size(); ++i)
        EXPECT_EQ (starts[i], host.getReadPointer (1) + 256 * i) << "chunk " << i << " is not a view at its offset";
}

TEST (BlockSplitting, BlockThatFitsIsHandedOverItself)
{
    juce::AudioBuffer<float> exact (2, 256);
    int calls = 0;
    BlockSplitter::forEachChunk (exact, 256, [&] (juce::AudioBuffer<float>& chunk)
        {
        ++calls;
        EXPECT_EQ (&chunk, &exact); });
    EXPECT_EQ (calls, 1);

    juce::AudioBuffer<float> empty (2, 0);
    calls = 0;
    BlockSplitter::forEachChunk (empty, 256, [&] (juce::AudioBuffer<float>& chunk)
        {
        ++calls;
        EXPECT_EQ (&chunk, &empty);
        EXPECT_EQ (chunk.getNumSamples(), 0); });
    EXPECT_EQ (calls, 1);
}

TEST (BlockSplitting, UnpreparedOrZeroSizedPreparationGivesOneSampleChunks)
{
    MorvantaProcessor fresh;
    EXPECT_EQ (BlockSplitter::chunkLimit (fresh.spec.maximumBlockSize), 1);
    EXPECT_EQ (chunkSizes (5, BlockSplitter::chunkLimit (fresh.spec.maximumBlockSize)), (std::vector<int>{ 1, 1, 1, 1, 1 }));

    MorvantaProcessor zero;
    ProcessorTestSupport::prepare (zero, 44100.0, 0);
    EXPECT_EQ (zero.spec.maximumBlockSize, 0u);
    EXPECT_EQ (BlockSplitter::chunkLimit (zero.spec.maximumBlockSize), 1);

    // And the processor survives being driven that way.
    auto block = Signals::silence (2, 16);
    juce::MidiBuffer midi;
    fresh.processBlock (block, midi);
    zero.processBlock (block, midi);
}

TEST (Preparation, SizesFadesAndRampsFollowTheSampleRate)
{
    const struct
    {
        double rate;
        int fade, shelfSteps;
    } cases[] = { { 44100.0, 882, 22050 }, { 48000.0, 960, 24000 }, { 96000.0, 1920, 48000 } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.rate);
        MorvantaProcessor p;
        ProcessorTestSupport::prepare (p, c.rate, 512);
        EXPECT_EQ (p.bypassFadeSamples, c.fade);
        EXPECT_EQ (stepsToTarget (p.cleanBassSmoothed), c.shelfSteps);
        EXPECT_EQ (stepsToTarget (p.brightnessSmoothed), c.shelfSteps);
        EXPECT_EQ (p.spec.sampleRate, c.rate);
        EXPECT_EQ (p.spec.maximumBlockSize, 512u);
        EXPECT_EQ (p.spec.numChannels, 2u);
        EXPECT_FALSE (p.bypassMixInitialised);
    }
}

TEST (Preparation, MonoLayoutStillGetsTwoChannelWorkBuffers)
{
    MorvantaProcessor p;
    ASSERT_TRUE (p.setBusesLayout (Buses::layout (1)));

    p.prepareToPlay (48000.0, 300);
    EXPECT_EQ (p.spec.numChannels, 1u);
    EXPECT_EQ (p.mainInputChannels, 1);
    EXPECT_EQ (p.totalOutputChannels, 1);
    EXPECT_EQ (p.cleanCopy.getNumChannels(), 2);
    EXPECT_EQ (p.bypassCopy.getNumChannels(), 2);
    EXPECT_EQ (p.cleanCopy.getNumSamples(), 300);
    EXPECT_EQ (p.bypassCopy.getNumSamples(), 300);
}

TEST (Preparation, ProcessBlockRestoresTheCallersDenormalFlags)
{
    MorvantaProcessor p;
    ProcessorTestSupport::prepare (p, 44100.0, 64);
    auto block = Signals::silence (2, 200);
    juce::MidiBuffer midi;

    const auto original = readControlWord();

    for (const auto callerFlags : { original & ~flushToZero, original | flushToZero })
    {
        writeControlWord (callerFlags);
        p.processBlock (block, midi);
        EXPECT_EQ (readControlWord(), callerFlags);
    }

    writeControlWord (original);
}

TEST (RealTime, ProcessBlockAllocatesNothingAfterPreparation)
{
    for (const int channels : { 1, 2 })
    {
        SCOPED_TRACE (channels);
        MorvantaProcessor p;
        ASSERT_TRUE (p.setBusesLayout (Buses::layout (channels)));
        p.prepareToPlay (48000.0, 256);

        auto block = Signals::noise (channels, 1000, 7, 1.0f);
        juce::MidiBuffer midi;
        const AllocationCounter::Scope scope;

        for (int i = 0; i < 50; ++i)
            p.processBlock (block, midi);

        EXPECT_EQ (scope.allocations(), 0);
    }
}
