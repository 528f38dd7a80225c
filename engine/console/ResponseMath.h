#pragma once

#include <complex>
#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

/**
    What a console's impulse response becomes before the convolution plays it at a sample rate.

    A console sounds as it does at 48 kHz, where mixes are made with it. There the response is
    exactly what the framework's convolution makes of it (trimmed, resampled from the WAV's rate
    and normalised by its energy), to the bit. Resampled the same way to another rate, a response
    of a few samples becomes a differently shaped filter (the interpolator and its own low-pass
    reshape it), several dB and tens of degrees off in the upper mids. So at every other rate a
    short filter at the processing rate is fitted by least squares to the 48 kHz response's
    complex gain as a function of frequency in Hz, over the audible band: level, tone, phase and
    delay in seconds are the 48 kHz response's, and the convolution plays it as it is (no
    latency added, no normalisation: the fit carries the level).

    Message thread or wherever prepareToPlay runs: everything here allocates.
*/
namespace ResponseMath
{
/** The rate whose console sound every rate matches, in Hz: mixes made there keep their sound. */
inline constexpr double referenceRate = 48000.0;

/** The band a fitted response matches, in Hz from 0: the audible band, or 0.45 x the rate where
    that is lower, since no short causal filter follows a target up to its Nyquist frequency.
    Above it the fit is left free, kept tame by a small penalty on the taps' energy. */
inline constexpr double audibleBandHz = 20000.0, maxBandFraction = 0.45;

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

/** The complex gain (amplitude and phase) of `length` samples at `hz`, played at `rate` (Hz). */
std::complex<double> transferAt (const float* samples, int length, double hz, double rate);

/** One channel's complex gain at `hz`, played at `rate` (Hz). */
std::complex<double> transferAt (const juce::AudioBuffer<float>& response, int channel, double hz, double rate);

/** The band fitted at `rate`, in Hz from 0. */
double fittedBandHz (double rate);

/** Taps of a fitted response that lasts `samplesAtRate` samples at the processing rate: as many,
    rounded, and at least 16, which a fit needs to hold a tone to 16 kHz. A response that rate
    leaves one sample long (below about 19 kHz) stays one sample, a gain matched to 48 kHz's,
    as long as the convolution's default engine there, as the stage expects. */
int fittedLength (double samplesAtRate);

/** The solution x of matrix x = rhs for a symmetric positive definite matrix (n x n, row after
    row, n = rhs.size()), by Cholesky in double precision; zeros when the matrix is not positive
    definite. */
std::vector<double> solveSymmetric (std::vector<double> matrix, std::vector<double> rhs);

/** The `taps` samples at `rate` (Hz), starting at time 0, whose complex gain comes closest to
    that of `reference` (referenceLength samples at 48 kHz): least squares over points spaced
    evenly in pitch from 20 Hz to bandHz, with `ridge` x the taps' energy added, solved in double
    precision. */
std::vector<double> fitTaps (const float* reference, int referenceLength, double rate, int taps, double bandHz, double ridge);

/** A 48 kHz response as played at `rate` (Hz) through `taps` samples: each channel fitted with
    fitTaps over fittedBandHz. */
juce::AudioBuffer<float> refit (const juce::AudioBuffer<float>& reference, double rate, int taps);

/** The response as the console plays it at `processRate`, from a response decoded at
    `decodedRate` (both in Hz): at 48 kHz as the convolution makes it, elsewhere refitted to that
    through fittedLength taps. */
juce::AudioBuffer<float> forRate (const juce::AudioBuffer<float>& decoded, double decodedRate, double processRate);
} // namespace ResponseMath
