#pragma once

#include <juce_dsp/juce_dsp.h>

/** The engine's crossfades between a processed signal (mix 1) and a dry copy of its input
    (mix 0): the power switch and the console stage switching on or off blend the two here; the
    drive-mode change shares their length. Blending neither allocates nor locks (audio thread);
    the lengths are pure functions (any thread). */
namespace Crossfade
{
/** Length of every crossfade, in seconds. */
inline constexpr double seconds = 0.02;

/** Crossfade length in samples at a sample rate in Hz: 882 at 44100 Hz. Never below one sample,
    so that a fade always arrives. */
constexpr int lengthInSamples (double sampleRate) noexcept
{
    return juce::jmax (1, static_cast<int> (sampleRate * seconds));
}

/** The length a stage holds until its first preparation: the one at 44100 Hz. */
inline constexpr int lengthBeforePreparation = lengthInSamples (44100.0);

/** Copies the block into `dry` (the channels both have) and returns true, or copies nothing and
    returns false when the block has more samples than `dry`. */
inline bool keepDry (const juce::dsp::AudioBlock<float>& block, juce::AudioBuffer<float>& dry) noexcept
{
    const auto n = static_cast<int> (block.getNumSamples());

    if (n > dry.getNumSamples())
        return false;

    const auto numChannels = juce::jmin (dry.getNumChannels(), static_cast<int> (block.getNumChannels()));

    for (int ch = 0; ch < numChannels; ++ch)
        dry.copyFrom (ch, 0, block.getChannelPointer (static_cast<size_t> (ch)), n);

    return true;
}

/** Blends the dry copy that keepDry took into the processed block, in place, while the mix
    moves from `mix` towards `target` by 1 / length per sample without passing it: each sample
    becomes processed x m + dry x (1 - m), m being the mix after that sample's step, so the
    first sample already hears one step. Channels that `dry` lacks stay processed. Returns the
    mix after the last sample. */
inline float blend (const juce::dsp::AudioBlock<float>& processed, const juce::AudioBuffer<float>& dry, float mix, float target, int length) noexcept
{
    const auto n = static_cast<int> (processed.getNumSamples());
    const auto numChannels = juce::jmin (dry.getNumChannels(), static_cast<int> (processed.getNumChannels()));
    const float step = 1.0f / static_cast<float> (length);

    for (int i = 0; i < n; ++i)
    {
        mix = target > mix ? juce::jmin (mix + step, target) : juce::jmax (mix - step, target);

        for (int ch = 0; ch < numChannels; ++ch)
        {
            auto* out = processed.getChannelPointer (static_cast<size_t> (ch));
            out[i] = out[i] * mix + dry.getSample (ch, i) * (1.0f - mix);
        }
    }

    return mix;
}
} // namespace Crossfade
