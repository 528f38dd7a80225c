#pragma once

#include <vector>

#include <juce_dsp/juce_dsp.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/SpectrumMath.h"

class MorvantaProcessor;

/**
    Live spectrum of the processed sound, drawn inside the circular scope.

    A 33 ms timer drains the processor's spectrum feed in 4096-sample blocks overlapping by half,
    keeps the mean of the last four magnitude spectra, builds the curves the next paint draws and
    repaints the rows those and the curves on show cover. After every resize the display waits
    five ticks with data before it rebuilds its bin-to-pixel table and draws again.
    Message thread only.
*/
class SpectrumAnalyzer : public juce::Component, public juce::Timer
{
public:
    using fftPoint = SpectrumMath::FftPoint;

    explicit SpectrumAnalyzer (MorvantaProcessor& processor);
    ~SpectrumAnalyzer() override;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void timerCallback() override;

    /** Largest magnitude over the point's bins in dB, floored at -120 dB. */
    static float getFftPointLevel (const float* magnitudes, const fftPoint& point);

    int getFirstPoint() const noexcept { return firstPoint; }
    int getResizeCountdown() const noexcept { return resizeCountdown; }
    int getNumPoints() const noexcept { return numPoints; }
    const std::vector<fftPoint>& getPoints() const noexcept { return fftPoints; }
    const std::vector<float>& getSmoothedLevels() const noexcept { return smoothedLevels; }
    /** The averaged magnitudes of bins 0..2047 (1.0 for a full-scale sine). */
    const float* getAverageSpectrum() const noexcept { return averageBuffer.getReadPointer (0); }
    /** What the last tick that read data repainted: where the curves were and where they go. */
    juce::Rectangle<int> getLastRepaintArea() const noexcept { return lastRepaintArea; }

private:
    void readFeed();
    void rebuildPointTable();
    /** Builds the three shapes a paint fills from the averaged spectrum, with the smoothed curve
        one step on in nextSmoothedLevels, and the rows they cover. False when the table is too
        small to draw anything. */
    bool buildCurves();

    MorvantaProcessor& processorRef;
    juce::ColourGradient spectrumGradient;
    int resizeCountdown = 0;
    int firstPoint = SpectrumMath::defaultFirstPoint;
    const int defaultFirstPoint = SpectrumMath::defaultFirstPoint;
    juce::dsp::FFT fft{ SpectrumMath::fftOrder };
    juce::dsp::WindowingFunction<float> window{ (size_t) SpectrumMath::fftSize, juce::dsp::WindowingFunction<float>::hann, true };
    juce::AudioBuffer<float> fftBuffer{ 1, 2 * SpectrumMath::fftSize }; // the transform works in place on twice its size
    juce::AudioBuffer<float> averageBuffer{ 1 + SpectrumMath::numAveraged, SpectrumMath::numBins };
    int ringIndex = 1;
    juce::Path smoothedPath;
    juce::Path rawPath;
    juce::Path strokedPath, rawFill, smoothedFill; // what a paint fills, in this order
    bool curvesReady = false; // built by the last tick and not drawn yet
    bool curvesDrawable = false;
    juce::Rectangle<int> curvesArea; // where the built curves draw, smoothed edges included
    juce::Rectangle<int> shownArea; // where curves may be on show
    juce::Rectangle<int> lastRepaintArea;
    juce::PathStrokeType outlineStroke{ 10.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt };
    juce::CriticalSection pathLock;
    int numPoints = 0;
    std::vector<fftPoint> fftPoints;
    std::vector<float> smoothedLevels, nextSmoothedLevels;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SpectrumAnalyzer)
};
