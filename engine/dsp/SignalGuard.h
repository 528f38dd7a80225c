#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include <juce_audio_basics/juce_audio_basics.h>

/** Keeps non-finite samples out of the chain's filter states. A NaN or infinity that reaches a
    recursive filter, the compressor's envelope or the convolution's overlap stays there for
    good and silences the plug-in until the host re-prepares it; hosts do hand over such
    samples (a failing plug-in earlier in the chain, a corrupt file). */
namespace SignalGuard
{
/** True when any of the n samples is a NaN or an infinity (all exponent bits set). Written as
    integer operations so that it runs as SIMD: the guard looks at every sample twice a block. */
inline bool containsNonFinite (const float* samples, int n) noexcept
{
    std::uint32_t found = 0;

    for (int i = 0; i < n; ++i)
    {
        std::uint32_t bits;
        std::memcpy (&bits, samples + i, sizeof (bits));
        found |= (~bits & 0x7f800000u) == 0 ? 1u : 0u;
    }

    return found != 0;
}

/** Replaces every NaN and infinity in the buffer by 0. Returns true when it found any. */
inline bool replaceNonFinite (juce::AudioBuffer<float>& buffer) noexcept
{
    bool found = false;

    for (int c = 0; c < buffer.getNumChannels(); ++c)
    {
        auto* samples = buffer.getWritePointer (c);

        if (! containsNonFinite (samples, buffer.getNumSamples()))
            continue;

        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (samples[i]))
            {
                samples[i] = 0.0f;
                found = true;
            }
    }

    return found;
}
} // namespace SignalGuard
