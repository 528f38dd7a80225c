#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/**
    Delays the input by the drive stage's latency, so that every dry copy the processor blends
    with the processed signal (the mix, the clean bass, the power and bypass fades, the
    pass-through while switched out) lines up with it sample for sample.

    It is written at every chunk whatever the delay, so that a longer delay finds the input's
    recent past already there. Sized by prepare (wherever the processor is prepared); the rest is
    the audio thread's, allocation-free.
*/
class DryDelay
{
public:
    /** Makes room for `numChannels` channels, chunks of up to `maximumBlockSize` samples and
        delays of up to `maximumDelay` samples, and empties the line. */
    void prepare (int numChannels, int maximumBlockSize, int maximumDelay)
    {
        length = juce::jmax (1, maximumBlockSize) + juce::jmax (0, maximumDelay);
        line.setSize (juce::jmax (1, numChannels), length, false, false, false);
        maxDelay = juce::jmax (0, maximumDelay);
        delay = 0;
        reset();
    }

    /** The delay in samples from the next chunk on, at most the prepared maximum. */
    void setDelay (int samples) noexcept { delay = juce::jlimit (0, maxDelay, samples); }

    int getDelay() const noexcept { return delay; }

    /** Writes the first `n` samples of `in`'s first `numChannels` channels into the line and
        copies them, `delay` samples late, into `out`; with no delay `out` is left alone, since
        the input itself is then the dry copy. */
    void process (const juce::AudioBuffer<float>& in, juce::AudioBuffer<float>& out, int numChannels, int n) noexcept
    {
        const int channels = juce::jmin (numChannels, line.getNumChannels());

        if (n > length - delay)
            return; // never: chunks are at most the prepared block size

        for (int ch = 0; ch < channels; ++ch)
            copyCircular (line.getWritePointer (ch), writePosition, in.getReadPointer (ch), n);

        if (delay > 0)
        {
            const int readPosition = (writePosition - delay + length) % length;

            for (int ch = 0; ch < channels; ++ch)
                readCircular (out.getWritePointer (ch), line.getReadPointer (ch), readPosition, n);
        }

        writePosition = (writePosition + n) % length;
    }

    void reset() noexcept
    {
        line.clear();
        writePosition = 0;
    }

private:
    void copyCircular (float* destination, int position, const float* source, int n) const noexcept
    {
        const int first = juce::jmin (n, length - position);
        std::copy (source, source + first, destination + position);
        std::copy (source + first, source + n, destination);
    }

    void readCircular (float* destination, const float* source, int position, int n) const noexcept
    {
        const int first = juce::jmin (n, length - position);
        std::copy (source + position, source + position + first, destination);
        std::copy (source, source + (n - first), destination + first);
    }

    juce::AudioBuffer<float> line;
    int length = 1;
    int writePosition = 0;
    int delay = 0;
    int maxDelay = 0;
};
