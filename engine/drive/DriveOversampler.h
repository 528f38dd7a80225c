#pragma once

#include <array>
#include <memory>

#include <juce_dsp/juce_dsp.h>

/**
    The rate change around the drive stage's nonlinear part: the framework's half-band FIR
    oversampling for 2, 4 and 8 times the host's rate, all three built at construction and sized
    at every preparation, so that switching between them allocates nothing.

    The filters are linear phase and their latency is made a whole number of host samples, so
    that a dry copy delayed by latencyOf (factor) lines up with the drive's output sample for
    sample, at every frequency. Construction and prepare: wherever the processor is made and
    prepared; the rest: the audio thread.
*/
class DriveOversampler
{
public:
    /** Channels every rate change is built for: the plug-in runs mono or stereo. */
    static constexpr size_t maxChannels = 2;

    DriveOversampler();

    /** Sizes every factor for blocks of up to `maximumBlockSize` host samples and clears them. */
    void prepare (int maximumBlockSize);

    /** Latency in host samples that `factor` adds (0 for 1 or anything not offered). Any thread:
        it depends on the filters alone, not on the rate or a preparation. */
    int latencyOf (int factor) const noexcept;

    /** Upsamples the block by `factor` (2, 4 or 8) into that factor's own storage and returns it. */
    juce::dsp::AudioBlock<float> up (int factor, const juce::dsp::AudioBlock<float>& block) noexcept;

    /** Downsamples what up returned, after processing in place, back into `block`. */
    void down (int factor, juce::dsp::AudioBlock<float>& block) noexcept;

    /** Clears the filters of every factor. */
    void reset() noexcept;

private:
    std::array<std::unique_ptr<juce::dsp::Oversampling<float>>, 3> oversamplers; // 2x, 4x, 8x
    std::array<int, 3> latencies{};

    // The filters' latency is not always a whole number of host samples: a delay of a few
    // samples at the oversampled rate makes up the rest. Per factor, its length and, per
    // channel, the samples it carries from one block to the next.
    static constexpr int maxResidual = 8;
    std::array<int, 3> residuals{};
    std::array<std::array<std::array<float, maxResidual>, maxChannels>, 3> residualHistory{};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (DriveOversampler)
};
