#pragma once

#include <vector>

#include <juce_audio_basics/juce_audio_basics.h>

/** The spectrum display's arithmetic, kept apart from the component so it can be checked
    without a window. Everything here runs on the message thread. */
namespace SpectrumMath
{
constexpr int fftOrder = 12;
constexpr int fftSize = 1 << fftOrder; // 4096 samples per analysed block
constexpr int numBins = fftSize / 2; // bins shown: DC up to just below Nyquist
constexpr int numAveraged = 4; // spectra in the running mean
constexpr int defaultFirstPoint = 88;
constexpr int firstDrawnPoint = 10; // the lowest points sit under the left end curve
constexpr float floorDb = -120.0f;

/** One display point: the consecutive FFT bins that land on the same pixel column. */
struct FftPoint
{
    int firstBin = 0;
    int lastBin = 120;
    int x = 0;
};

/** How many of the highest display points a display of `width` pixels leaves out; widths
        that would give less than 1 or more than 250 fall back to defaultFirstPoint. */
int firstPointForWidth (int width);

/** Pixel column of bin `bin` (>= 1) on a display of ten octaves above 20 Hz, where
        `pxPerOctave` is a tenth of the width. Bins at or below 20 Hz give 0. */
int binToPixel (int bin, float pxPerOctave, float sampleRate);

/** Fills `points` (at least numBins entries) with the bins grouped by pixel column for a
        display of `width` pixels at `sampleRate` Hz and returns how many points were made. */
int buildPointTable (std::vector<FftPoint>& points, int width, float sampleRate);

/** Largest magnitude over the point's bins in dB, never below floorDb. */
float getFftPointLevel (const float* magnitudes, const FftPoint& point);

/** Vertical pixel of a level in dB: floorDb on `baseline`, +6 dB at the top edge. */
float levelToY (float levelDb, float baseline);

/** One paint's step of a smoothed curve towards `target` (pixels). */
float smoothTowards (float previous, float target);

/** The values a quadratic Bezier with end values `from`, `to` and control value `control`
    takes in one coordinate: the ends and the turning point, if it lies between them. */
juce::Range<float> quadraticSpan (float from, float control, float to);

/** Index of the highest display point drawn; negative when the table is too small to draw. */
int firstDrawnIndex (int numPoints, int firstPoint);

/** Replaces the oldest spectrum of the running mean with `magnitudes` (numBins values of one
        fftSize transform). Channel 0 of `average` holds the mean of the last numAveraged spectra
        divided by numBins, channels 1..numAveraged the ring of scaled spectra; `ringIndex` names
        the channel replaced next and moves on. */
void addToAverage (juce::AudioBuffer<float>& average, int& ringIndex, const float* magnitudes);
} // namespace SpectrumMath
