#include "editor/SpectrumMath.h"

#include <cmath>

namespace SpectrumMath
{
int firstPointForWidth (int width)
{
    // The width difference is a float, the scaling double: keeps the table's cut-off stable
    // against the display sizes the window allows.
    const auto extra = (double) ((float) width - 179.0f);
    const auto v = (int) (extra * 0.48 + defaultFirstPoint);
    return (v >= 1 && v <= 250) ? v : defaultFirstPoint;
}

int binToPixel (int bin, float pxPerOctave, float sampleRate)
{
    // Octaves above 20 Hz; 0.6931472 is ln 2.
    const auto octaves = std::log ((float) bin * sampleRate / (float) fftSize / 20.0f) / 0.6931472f;
    return octaves > 0.0f ? juce::roundToInt (pxPerOctave * octaves + 0.5f) : 0;
}

int buildPointTable (std::vector<FftPoint>& points, int width, float sampleRate)
{
    jassert ((int) points.size() >= numBins);

    const auto pxPerOctave = (float) width / 10.0f;
    int bin = 0;
    int lastX = 0;
    int p = 0;

    while (bin < numBins)
    {
        auto& point = points[(size_t) p];
        point.firstBin = bin;
        point.x = lastX;

        auto nextX = lastX;

        while (nextX <= lastX && bin < numBins)
        {
            ++bin;
            nextX = binToPixel (bin, pxPerOctave, sampleRate);
        }

        point.lastBin = bin - 1;
        ++p;
        lastX = nextX;
    }

    return p;
}

float getFftPointLevel (const float* magnitudes, const FftPoint& point)
{
    float largest = 0.0f;

    for (int bin = point.firstBin; bin <= point.lastBin; ++bin)
        largest = juce::jmax (largest, magnitudes[bin]);

    return juce::Decibels::gainToDecibels (largest, floorDb);
}

float levelToY (float levelDb, float baseline)
{
    // 126 dB span: from the floor up to +6 dB at the top edge.
    return (levelDb - floorDb) * (-baseline) / 126.0f + baseline + 0.5f;
}

float smoothTowards (float previous, float target)
{
    return (previous + previous + target) / 3.0f;
}

juce::Range<float> quadraticSpan (float from, float control, float to)
{
    auto span = juce::Range<float>::between (from, to);
    const auto curvature = from - 2.0f * control + to;

    // B(t) = (1 - t)^2 from + 2 t (1 - t) control + t^2 to turns where t = (from - control) / curvature.
    if (curvature != 0.0f)
    {
        const auto t = (from - control) / curvature;

        if (t > 0.0f && t < 1.0f)
            span = span.getUnionWith ((1.0f - t) * (1.0f - t) * from + 2.0f * t * (1.0f - t) * control + t * t * to);
    }

    return span;
}

int firstDrawnIndex (int numPoints, int firstPoint)
{
    return numPoints - firstPoint;
}

void addToAverage (juce::AudioBuffer<float>& average, int& ringIndex, const float* magnitudes)
{
    // Each stored spectrum carries 1 / (numBins * numAveraged), so the sum in channel 0 is the
    // mean normalised to a full-scale sine reading 1.0.
    constexpr auto scale = 1.0f / (float) (numBins * numAveraged);

    average.addFrom (0, 0, average, ringIndex, 0, numBins, -1.0f);
    average.copyFrom (ringIndex, 0, magnitudes, numBins, scale);
    average.addFrom (0, 0, average, ringIndex, 0, numBins);
    ringIndex = ringIndex % numAveraged + 1;
}
} // namespace SpectrumMath
