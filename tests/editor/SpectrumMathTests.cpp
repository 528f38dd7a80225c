#include <gtest/gtest.h>

#include <cmath>

#include "editor/SpectrumMath.h"

using SpectrumMath::FftPoint;

namespace
{
std::vector<FftPoint> tableFor (int width, float sampleRate, int& numPoints)
{
    std::vector<FftPoint> points ((size_t) SpectrumMath::numBins);
    numPoints = SpectrumMath::buildPointTable (points, width, sampleRate);
    return points;
}

// Independent evaluation of the width rule: 0.48 skipped points per pixel beyond 179.
int expectedFirstPoint (int width)
{
    const auto v = (int) std::floor ((width - 179) * 0.48 + 88.0);
    return (v >= 1 && v <= 250) ? v : 88;
}
} // namespace

TEST (SpectrumMath, FirstPointFollowsTheDisplayWidth)
{
    EXPECT_EQ (SpectrumMath::firstPointForWidth (179), 88) << "900 x 350 window";
    EXPECT_EQ (SpectrumMath::firstPointForWidth (360), 174) << "1800 x 700 window";
    EXPECT_EQ (SpectrumMath::firstPointForWidth (518), 250) << "largest value still taken";
    EXPECT_EQ (SpectrumMath::firstPointForWidth (519), 88) << "above 250 falls back rather than clamping";

    for (int width = 1; width <= 400; ++width)
        EXPECT_EQ (SpectrumMath::firstPointForWidth (width), expectedFirstPoint (width)) << "width " << width;
}

TEST (SpectrumMath, PointTableAt44100HzAnd179Pixels)
{
    int numPoints = 0;
    const auto points = tableFor (179, 44100.0f, numPoints);

    ASSERT_EQ (numPoints, 138);

    const std::array<FftPoint, 4> expectedStart{ { { 0, 1, 0 }, { 2, 2, 2 }, { 3, 3, 13 }, { 4, 4, 20 } } };

    for (size_t i = 0; i < expectedStart.size(); ++i)
    {
        EXPECT_EQ (points[i].firstBin, expectedStart[i].firstBin) << "point " << i;
        EXPECT_EQ (points[i].lastBin, expectedStart[i].lastBin) << "point " << i;
        EXPECT_EQ (points[i].x, expectedStart[i].x) << "point " << i;
    }

    EXPECT_EQ (points[137].x, 181);
    EXPECT_EQ (points[137].lastBin, 2047);
}

TEST (SpectrumMath, PointTableCoversEveryBinOncePerColumn)
{
    for (const auto sampleRate : { 22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f })
    {
        for (const auto width : { 1, 17, 23, 90, 179, 250, 360 })
        {
            SCOPED_TRACE ("rate " + std::to_string ((int) sampleRate) + ", width " + std::to_string (width));
            int numPoints = 0;
            const auto points = tableFor (width, sampleRate, numPoints);
            const auto pxPerOctave = (float) width / 10.0f;

            ASSERT_GE (numPoints, 1);
            ASSERT_LE (numPoints, SpectrumMath::numBins);
            EXPECT_EQ (points[0].firstBin, 0);
            EXPECT_EQ (points[0].x, 0);
            EXPECT_EQ (points[(size_t) numPoints - 1].lastBin, SpectrumMath::numBins - 1);

            for (int p = 0; p < numPoints; ++p)
            {
                const auto& point = points[(size_t) p];
                EXPECT_LE (point.firstBin, point.lastBin) << "point " << p << " is empty";

                if (p > 0)
                {
                    EXPECT_EQ (point.firstBin, points[(size_t) p - 1].lastBin + 1) << "gap or overlap before point " << p;
                    EXPECT_GT (point.x, points[(size_t) p - 1].x) << "x goes back at point " << p;
                }

                // Every bin of a point falls on the point's own column (bin 0 has no frequency
                // to place and belongs to the first point).
                for (int bin = juce::jmax (1, point.firstBin); bin <= point.lastBin; ++bin)
                    EXPECT_EQ (SpectrumMath::binToPixel (bin, pxPerOctave, sampleRate), point.x) << "bin " << bin;
            }
        }
    }
}

TEST (SpectrumMath, BinsUpTo20HzLandOnTheLeftEdge)
{
    // At 44100 Hz bin 1 is 10.8 Hz; bin 2 (21.5 Hz) is the first above 20 Hz.
    EXPECT_EQ (SpectrumMath::binToPixel (1, 17.9f, 44100.0f), 0);
    EXPECT_GT (SpectrumMath::binToPixel (2, 17.9f, 44100.0f), 0);

    // At 8000 Hz bins 1 to 10 (up to 19.5 Hz) are all at or below 20 Hz.
    for (int bin = 1; bin <= 10; ++bin)
        EXPECT_EQ (SpectrumMath::binToPixel (bin, 17.9f, 8000.0f), 0) << "bin " << bin;
}

TEST (SpectrumMath, PointLevelIsTheLargestBinInDecibels)
{
    std::vector<float> magnitudes (16, 0.0f);
    const FftPoint point{ 4, 7, 0 };

    EXPECT_FLOAT_EQ (SpectrumMath::getFftPointLevel (magnitudes.data(), point), -120.0f) << "silence sits on the floor";

    magnitudes[3] = 5.0f; // outside the point on both sides
    magnitudes[8] = 5.0f;
    magnitudes[7] = 1.0f; // the point's last bin counts
    magnitudes[5] = 0.5f;
    EXPECT_FLOAT_EQ (SpectrumMath::getFftPointLevel (magnitudes.data(), point), 0.0f);

    magnitudes[7] = 0.001f;
    magnitudes[5] = 0.0f;
    EXPECT_NEAR (SpectrumMath::getFftPointLevel (magnitudes.data(), point), -60.0f, 1.0e-4f);

    std::fill (magnitudes.begin() + 4, magnitudes.begin() + 8, -1.0f);
    EXPECT_FLOAT_EQ (SpectrumMath::getFftPointLevel (magnitudes.data(), point), -120.0f) << "negative magnitudes count as zero";

    magnitudes[6] = 1.0e-7f; // -140 dB
    EXPECT_FLOAT_EQ (SpectrumMath::getFftPointLevel (magnitudes.data(), point), -120.0f) << "levels below the floor are held there";
}

TEST (SpectrumMath, LevelsMapFromTheBaselineToTheTopEdge)
{
    const auto baseline = 0.9f * 179.0f;

    EXPECT_FLOAT_EQ (SpectrumMath::levelToY (-120.0f, baseline), baseline + 0.5f);
    EXPECT_FLOAT_EQ (SpectrumMath::levelToY (6.0f, baseline), 0.5f);
    EXPECT_FLOAT_EQ (SpectrumMath::levelToY (-57.0f, baseline), 0.5f * baseline + 0.5f) << "the middle of the span";
    EXPECT_LT (SpectrumMath::levelToY (12.0f, baseline), 0.0f) << "louder than +6 dB goes above the top, unclamped";
}

TEST (SpectrumMath, SmoothingMovesAThirdOfTheWayEachPaint)
{
    const auto y = 90.0f;
    auto level = 0.0f;

    level = SpectrumMath::smoothTowards (level, y);
    EXPECT_FLOAT_EQ (level, y / 3.0f);

    level = SpectrumMath::smoothTowards (level, y);
    EXPECT_FLOAT_EQ (level, 5.0f * y / 9.0f);

    for (int i = 0; i < 60; ++i)
        level = SpectrumMath::smoothTowards (level, y);

    EXPECT_NEAR (level, y, 1.0e-3f);
}

TEST (SpectrumMath, AverageIsTheMeanOfTheLastFourSpectra)
{
    juce::AudioBuffer<float> average (5, SpectrumMath::numBins);
    average.clear();
    int ringIndex = 1;
    std::vector<float> spectrum ((size_t) SpectrumMath::numBins);

    const std::array<float, 6> heights{ 2048.0f, 4096.0f, 0.0f, 8192.0f, 1024.0f, 2048.0f };

    for (size_t n = 0; n < heights.size(); ++n)
    {
        std::fill (spectrum.begin(), spectrum.end(), heights[n]);
        SpectrumMath::addToAverage (average, ringIndex, spectrum.data());

        double sum = 0.0;
        for (size_t j = n >= 3 ? n - 3 : 0; j <= n; ++j)
            sum += heights[j];

        const auto expected = sum / 4.0 / 2048.0;
        EXPECT_NEAR (average.getSample (0, 0), expected, 1.0e-5) << "after spectrum " << n;
        EXPECT_NEAR (average.getSample (0, 2047), expected, 1.0e-5) << "after spectrum " << n;
        EXPECT_EQ (ringIndex, (int) (n + 1) % 4 + 1) << "the ring cycles 1, 2, 3, 4";
    }
}

TEST (SpectrumMath, FirstDrawnIndexIsNeverNegativeAtUsualRates)
{
    for (const auto sampleRate : { 22050.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f })
    {
        for (int width = 1; width <= 400; ++width)
        {
            int numPoints = 0;
            tableFor (width, sampleRate, numPoints);
            EXPECT_GE (SpectrumMath::firstDrawnIndex (numPoints, SpectrumMath::firstPointForWidth (width)), 0) << "rate " << sampleRate << ", width " << width;
        }
    }

    int numPoints = 0;
    tableFor (179, 44100.0f, numPoints);
    EXPECT_EQ (SpectrumMath::firstDrawnIndex (numPoints, 88), 138 - 88);
}

TEST (SpectrumMath, QuadraticSpanReachesTheTurningPointOnlyWhenTheCurveTurns)
{
    // From 0 to 0 through 4: B(1/2) = 2.
    EXPECT_EQ (SpectrumMath::quadraticSpan (0.0f, 4.0f, 0.0f), juce::Range<float> (0.0f, 2.0f));
    // 0.5h to 0.5h through 0.9h on a 100-pixel display: the end curves dip to 0.7h.
    EXPECT_EQ (SpectrumMath::quadraticSpan (50.0f, 90.0f, 50.0f), juce::Range<float> (50.0f, 70.0f));
    // Monotonic (the control between the ends) and straight curves keep to their ends.
    EXPECT_EQ (SpectrumMath::quadraticSpan (10.0f, 20.0f, 40.0f), juce::Range<float> (10.0f, 40.0f));
    EXPECT_EQ (SpectrumMath::quadraticSpan (40.0f, 25.0f, 10.0f), juce::Range<float> (10.0f, 40.0f));
    EXPECT_EQ (SpectrumMath::quadraticSpan (3.0f, 3.0f, 3.0f), juce::Range<float> (3.0f, 3.0f));
}
