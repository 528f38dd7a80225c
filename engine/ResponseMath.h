#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/**
    What a console's impulse response becomes before the convolution plays it at a sample rate.

    The framework's convolution resamples a response to the processing rate and, when asked to,
    normalises it there by its energy. A resampled response of a few samples holds more energy
    the higher the rate, so normalising at the processing rate makes a console louder the higher
    the rate (3 to 6 dB between 48 and 192 kHz). The stage therefore works the response out here,
    at the processing rate, and hands it over ready to play: at 48 kHz exactly as the convolution
    made it before, at every other rate with the same gain as there over the band from 100 Hz to
    1 kHz.

    The first steps reproduce the convolution's own (channels, trimming, resampling,
    normalisation), so that the 48 kHz result is the same to the bit. Message thread or wherever
    prepareToPlay runs: everything here allocates.
*/
namespace ResponseMath
{
/** The rate whose console sound every rate matches, in Hz: mixes made there keep their sound. */
inline constexpr double referenceRate = 48000.0;

/** The band over which a console's gain is matched between rates, in Hz: where most of a mix's
    energy lies, and where the response, a few samples long, is flat to a few tenths of a dB at
    every rate. */
inline constexpr double alignmentLowHz = 100.0, alignmentHighHz = 1000.0;

/** The first two channels of a response; an empty one becomes a one-sample unit impulse. */
juce::AudioBuffer<float> fitChannels (const juce::AudioBuffer<float>& response);

/** The span from the first to the last sample at or above -80 dB in any channel; one silent
    sample when there is none. */
juce::AudioBuffer<float> trimSilence (const juce::AudioBuffer<float>& response);

/** The response resampled from `fromRate` to `toRate` (Hz) by the framework's interpolating
    resampler, cut to round (length x toRate / fromRate) samples, at least one. */
juce::AudioBuffer<float> resample (const juce::AudioBuffer<float>& response, double fromRate, double toRate);

/** The factor that brings the energy of the response's loudest channel to 1/64, or 1 when it has
    next to none. */
float normalisationGain (const juce::AudioBuffer<float>& response);

/** The response's power gain at `hz`, summed over its channels, played at `rate` (Hz). */
double powerGainAt (const juce::AudioBuffer<float>& response, double hz, double rate);

/** The mean of powerGainAt over the alignment band, at points spaced evenly in pitch; below a
    rate of 4 kHz the band moves down to stay under a quarter of the rate. */
double alignmentGain (const juce::AudioBuffer<float>& response, double rate);

/** The response as the console plays it at `processRate`, from a response decoded at
    `decodedRate` (both in Hz). */
juce::AudioBuffer<float> forRate (const juce::AudioBuffer<float>& decoded, double decodedRate, double processRate);
} // namespace ResponseMath
