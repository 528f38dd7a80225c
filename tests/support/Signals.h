#pragma once

#include <algorithm>
#include <cmath>

#include <juce_audio_basics/juce_audio_basics.h>

/** Test signals. Every builder fills channel after channel, frame after frame, so a seeded
    generator gives the same samples wherever a test builds them. */
namespace Signals
{
/** Writes signal (channel, frame) into every sample of `buffer`. */
template <typename Signal>
void fill (juce::AudioBuffer<float>& buffer, Signal&& signal)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (c, i, static_cast<float> (signal (c, i)));
}

/** A buffer of `n` frames filled by signal (channel, frame). */
template <typename Signal>
juce::AudioBuffer<float> make (int channels, int n, Signal&& signal)
{
    juce::AudioBuffer<float> buffer (channels, n);
    fill (buffer, signal);
    return buffer;
}

/** Frame `frame` of a sine of `frequency` Hz at `rate`, its phase worked out in double precision. */
inline float sine (double frequency, double rate, juce::int64 frame, float amplitude)
{
    return amplitude * static_cast<float> (std::sin (juce::MathConstants<double>::twoPi * frequency * static_cast<double> (frame) / rate));
}

inline juce::AudioBuffer<float> constant (int channels, int n, float value)
{
    juce::AudioBuffer<float> buffer (channels, n);

    for (int c = 0; c < channels; ++c)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (c), value, n);

    return buffer;
}

/** A cleared buffer, marked silent as the framework marks one. */
inline juce::AudioBuffer<float> silence (int channels, int n)
{
    juce::AudioBuffer<float> buffer (channels, n);
    buffer.clear();
    return buffer;
}

/** Uniform noise in [-peak, peak) drawn from `random`. */
inline juce::AudioBuffer<float> noise (int channels, int n, juce::Random& random, float peak)
{
    return make (channels, n, [&] (int, int)
        { return random.nextFloat() * (2.0f * peak) - peak; });
}

inline juce::AudioBuffer<float> noise (int channels, int n, int seed, float peak)
{
    juce::Random random (seed);
    return noise (channels, n, random, peak);
}

/** Largest difference between two buffers from frame `start` on, in dB of the reference's peak
        there; -400 dB when they are equal. */
inline double differenceDb (const juce::AudioBuffer<float>& reference, const juce::AudioBuffer<float>& other, int start)
{
    float peak = 0.0f, difference = 0.0f;

    for (int c = 0; c < reference.getNumChannels(); ++c)
        for (int i = start; i < reference.getNumSamples(); ++i)
        {
            peak = std::max (peak, std::abs (reference.getSample (c, i)));
            difference = std::max (difference, std::abs (reference.getSample (c, i) - other.getSample (c, i)));
        }

    return juce::Decibels::gainToDecibels (difference / peak, -400.0f);
}

/** Largest sample-to-sample step of any channel between frames `from` and `to`: a click shows
        as a step larger than the sound's own. */
inline float largestStep (const juce::AudioBuffer<float>& b, int from, int to)
{
    float largest = 0.0f;

    for (int ch = 0; ch < b.getNumChannels(); ++ch)
        for (int i = std::max (1, from + 1); i < std::min (to, b.getNumSamples()); ++i)
            largest = std::max (largest, std::abs (b.getSample (ch, i) - b.getSample (ch, i - 1)));

    return largest;
}
} // namespace Signals
