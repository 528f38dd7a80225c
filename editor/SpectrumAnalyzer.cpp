#include "editor/SpectrumAnalyzer.h"

#include "editor/Palette.h"
#include "engine/PluginProcessor.h"

SpectrumAnalyzer::SpectrumAnalyzer (MorvantaProcessor& processor)
    : processorRef (processor)
{
    setPaintingIsUnclipped (true);
    averageBuffer.clear();
    fftPoints.resize ((size_t) SpectrumMath::numBins);

    {
        const juce::ScopedLock lock (pathLock);
        // A line takes three floats of path storage; the start and the two end curves fit in the
        // 16 extra, so no paint has to grow the paths.
        smoothedPath.preallocateSpace (3 * SpectrumMath::numBins + 16);
        rawPath.preallocateSpace (3 * SpectrumMath::numBins + 16);
    }

    startTimer (33);
}

SpectrumAnalyzer::~SpectrumAnalyzer()
{
    stopTimer();
}

float SpectrumAnalyzer::getFftPointLevel (const float* magnitudes, const fftPoint& point)
{
    return SpectrumMath::getFftPointLevel (magnitudes, point);
}

void SpectrumAnalyzer::resized()
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();

    resizeCountdown = 5;
    curvesReady = false;
    shownArea = getLocalBounds(); // whatever the window shows there, the next paint covers it
    spectrumGradient = juce::ColourGradient (blueSpectre, 0.5f * w, 0.45f * h, blueSpectreDark, 0.5f * w, 0.95f * h, false);
    firstPoint = SpectrumMath::firstPointForWidth (getWidth());
}

void SpectrumAnalyzer::timerCallback()
{
    if (! isVisible() || ! processorRef.analyserDataReady.load())
        return;

    if (resizeCountdown > 0)
    {
        // Leave the flag raised: the ticks after a resize are counted only while data arrives.
        if (--resizeCountdown == 0)
            rebuildPointTable();

        return;
    }

    readFeed();

    processorRef.analyserDataReady.exchange (false);

    // Only the rows the curves leave and reach: the rest of the scope stays as it is.
    const juce::ScopedLock lock (pathLock);
    curvesDrawable = buildCurves();
    curvesReady = true;
    lastRepaintArea = curvesDrawable ? shownArea.getUnion (curvesArea) : shownArea;
    repaint (lastRepaintArea);
}

void SpectrumAnalyzer::readFeed()
{
    auto& fifo = processorRef.analyserFifo;
    const auto* source = processorRef.analyserBuffer.getReadPointer (0);
    auto* data = fftBuffer.getWritePointer (0);

    while (fifo.getNumReady() >= SpectrumMath::fftSize)
    {
        fftBuffer.clear();

        int start1, size1, start2, size2;
        fifo.prepareToRead (SpectrumMath::fftSize, start1, size1, start2, size2);
        std::copy (source + start1, source + start1 + size1, data);
        std::copy (source + start2, source + start2 + size2, data + size1);

        // Consuming only half of the block makes consecutive frames overlap by 50 %.
        fifo.finishedRead ((size1 + size2) / 2);

        window.multiplyWithWindowingTable (data, (size_t) SpectrumMath::fftSize);
        fft.performFrequencyOnlyForwardTransform (data, false);

        const juce::ScopedLock lock (pathLock);
        SpectrumMath::addToAverage (averageBuffer, ringIndex, data);
    }
}

void SpectrumAnalyzer::rebuildPointTable()
{
    numPoints = SpectrumMath::buildPointTable (fftPoints, getWidth(), (float) processorRef.spec.sampleRate);
}

void SpectrumAnalyzer::paint (juce::Graphics& g)
{
    if (! isVisible() || processorRef.isSwitchedOut() || resizeCountdown > 0)
        return;

    const juce::ScopedLock lock (pathLock);

    // The paint the last tick asked for draws the curves that tick built; any other paint builds
    // its own. Either way each paint moves the smoothed curve one step.
    const auto asked = std::exchange (curvesReady, false);

    if (! (asked ? curvesDrawable : buildCurves()))
        return;

    smoothedLevels.swap (nextSmoothedLevels);

    g.setColour (blueCurveDark);
    g.fillPath (strokedPath);

    g.setColour (orangeorangeQuelm);
    g.fillPath (rawFill);

    g.setGradientFill (spectrumGradient);
    g.fillPath (smoothedFill);

    // The asked-for paint covered all the curves on show; another may have covered less.
    shownArea = asked ? curvesArea : shownArea.getUnion (curvesArea);
}

bool SpectrumAnalyzer::buildCurves()
{
    const auto w = (float) getWidth();
    const auto h = (float) getHeight();
    const auto* magnitudes = averageBuffer.getReadPointer (0);
    const auto baseline = 0.9f * h;

    if (firstPoint > numPoints)
        firstPoint = defaultFirstPoint;

    const auto i0 = SpectrumMath::firstDrawnIndex (numPoints, firstPoint);

    // A table smaller than the points it skips has nothing to show.
    if (i0 < 0)
        return false;

    rawPath.clear();
    smoothedPath.clear();
    rawPath.startNewSubPath (0.99f * w, 0.5f * h);
    smoothedPath.startNewSubPath (0.99f * w, 0.5f * h);

    const auto y0 = SpectrumMath::levelToY (getFftPointLevel (magnitudes, fftPoints[(size_t) i0]), baseline);
    rawPath.quadraticTo (0.93f * w, baseline, 0.65f * w, y0);
    smoothedPath.quadraticTo (0.93f * w, baseline, 0.65f * w, y0);

    // The fills close along the middle line. Rounded corners stay between the points they round,
    // so the points and the end curves' turning points bound every row the curves reach.
    auto rows = juce::Range<float>::between (0.5f * h, y0).getUnionWith (SpectrumMath::quadraticSpan (0.5f * h, baseline, y0));

    // A fresh table starts its smoothed curve at the top edge, from where it sinks to the signal.
    if (smoothedLevels.size() == (size_t) numPoints)
        nextSmoothedLevels.assign (smoothedLevels.begin(), smoothedLevels.end());
    else
        nextSmoothedLevels.assign ((size_t) numPoints, 0.0f);

    auto lastY = y0, lastSmoothed = y0;

    for (int i = i0; i >= SpectrumMath::firstDrawnPoint; --i)
    {
        const auto& point = fftPoints[(size_t) i];
        const auto y = SpectrumMath::levelToY (getFftPointLevel (magnitudes, point), baseline);
        auto& smoothed = nextSmoothedLevels[(size_t) i];
        smoothed = SpectrumMath::smoothTowards (smoothed, y);

        rawPath.lineTo ((float) point.x, y);
        smoothedPath.lineTo ((float) point.x, smoothed);
        rows = rows.getUnionWith (juce::Range<float>::between (y, smoothed));
        lastY = y;
        lastSmoothed = smoothed;
    }

    rawPath.quadraticTo (0.07f * w, baseline, 0.01f * w, 0.5f * h);
    smoothedPath.quadraticTo (0.07f * w, baseline, 0.01f * w, 0.5f * h);
    rows = rows.getUnionWith (SpectrumMath::quadraticSpan (lastY, baseline, 0.5f * h));
    rows = rows.getUnionWith (SpectrumMath::quadraticSpan (lastSmoothed, baseline, 0.5f * h));

    outlineStroke.createStrokedPath (strokedPath, rawPath.createPathWithRoundedCorners (70.0f), {}, 1.0f);
    rawFill = rawPath.createPathWithRoundedCorners (25.0f);
    smoothedFill = smoothedPath.createPathWithRoundedCorners (30.0f);

    // The outline's own bounds hold its width and its mitred joins; a row more each way holds
    // the smoothed edges.
    const auto outline = strokedPath.getBounds();
    rows = rows.getUnionWith ({ outline.getY(), outline.getBottom() });
    curvesArea = juce::Rectangle<float> (0.0f, rows.getStart() - 1.0f, w, rows.getLength() + 2.0f).getSmallestIntegerContainer().getIntersection (getLocalBounds());
    return true;
}
