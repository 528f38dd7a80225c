#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace BlockSplitter
{
/** Chunk length limit for a prepared maximum block size: never below one sample, so that a
        block arriving before preparation (or after preparing with size 0) is still processed. */
inline int chunkLimit (juce::uint32 preparedMaximumBlockSize) noexcept
{
    const auto limit = static_cast<int> (preparedMaximumBlockSize);
    return limit < 1 ? 1 : limit;
}

/** Calls process (chunk) for consecutive chunks of at most `limit` samples covering the
        buffer. A buffer that already fits (including an empty one) is handed over itself. The
        chunks are views on the buffer's own memory: building one allocates nothing for up to
        JUCE's in-object channel-pointer space (fewer than 32 channels). */
template <typename Process>
void forEachChunk (juce::AudioBuffer<float>& buffer, int limit, Process&& process)
{
    const int numSamples = buffer.getNumSamples();

    if (numSamples <= limit)
    {
        process (buffer);
        return;
    }

    const int numChannels = buffer.getNumChannels();
    float* const* channels = buffer.getArrayOfWritePointers();

    for (int offset = 0; offset < numSamples; offset += limit)
    {
        juce::AudioBuffer<float> chunk (channels, numChannels, offset, juce::jmin (limit, numSamples - offset));
        process (chunk);
    }
}
} // namespace BlockSplitter
