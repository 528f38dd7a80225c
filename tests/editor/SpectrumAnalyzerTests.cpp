#include <gtest/gtest.h>

#include <cmath>

#include "editor/Frame.h"
#include "editor/SpectrumAnalyzer.h"
#include "engine/PluginProcessor.h"
#include "tests/engine/ProcessorTestSupport.h"
#include "tests/support/Signals.h"
#include "tests/support/SpectrumFeed.h"

namespace
{
constexpr double sampleRate = 44100.0;

// The processor with its spectrum feed open as an editor opens it, and an analyser reading it.
class SpectrumAnalyzerTest : public ::testing::Test
{
protected:
    void SetUp() override { prepare (sampleRate); }

    void prepare (double rate)
    {
        ProcessorTestSupport::prepare (processor, rate, 512);
        SpectrumFeed::open (processor);
    }

    void push (const std::vector<float>& samples)
    {
        ASSERT_TRUE (SpectrumFeed::push (processor, samples)) << "the test pushed more than fits";
    }

    static std::vector<float> sine (double frequency, int numSamples, float amplitude = 1.0f)
    {
        std::vector<float> samples ((size_t) numSamples);

        for (int i = 0; i < numSamples; ++i)
            samples[(size_t) i] = Signals::sine (frequency, sampleRate, i, amplitude);

        return samples;
    }

    // Sizes the display and runs the five data ticks after which it rebuilds its table.
    void showAt (int size)
    {
        analyser.setVisible (true);
        analyser.setSize (size, size);

        for (int tick = 0; tick < 5; ++tick)
        {
            processor.analyserDataReady = true;
            analyser.timerCallback();
        }

        processor.analyserDataReady = false;
    }

    juce::Image render (int paints = 1)
    {
        juce::Image image (juce::Image::ARGB, analyser.getWidth(), analyser.getHeight(), true);

        for (int i = 0; i < paints; ++i)
        {
            image.clear (image.getBounds());
            juce::Graphics g (image);
            analyser.paint (g);
        }

        return image;
    }

    static bool isBlank (const juce::Image& image)
    {
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                if (image.getPixelAt (x, y).getAlpha() != 0)
                    return false;

        return true;
    }

    float levelOfBin (int bin) const
    {
        return juce::Decibels::gainToDecibels (analyser.getAverageSpectrum()[bin], -120.0f);
    }

    MorvantaProcessor processor;
    SpectrumAnalyzer analyser{ processor };
};

// Frequency at the centre of an FFT bin, where the window's scalloping loss is zero.
double binCentre (int bin)
{
    return bin * sampleRate / SpectrumMath::fftSize;
}
} // namespace

TEST_F (SpectrumAnalyzerTest, ResizeWaitsFiveTicksWithDataBeforeRebuildingTheTable)
{
    analyser.setVisible (true);
    analyser.setSize (179, 179);
    EXPECT_EQ (analyser.getResizeCountdown(), 5);
    EXPECT_EQ (analyser.getFirstPoint(), 88);

    push (sine (binCentre (100), 8192));
    processor.analyserDataReady = false;

    for (int tick = 0; tick < 3; ++tick)
        analyser.timerCallback();

    EXPECT_EQ (analyser.getResizeCountdown(), 5) << "ticks without the data flag are not counted";

    for (int tick = 0; tick < 4; ++tick)
    {
        processor.analyserDataReady = true;
        analyser.timerCallback();
    }

    EXPECT_EQ (analyser.getResizeCountdown(), 1);
    EXPECT_EQ (analyser.getNumPoints(), 0) << "the table waits for the fifth tick";

    analyser.timerCallback();
    EXPECT_EQ (analyser.getResizeCountdown(), 0);
    EXPECT_EQ (analyser.getNumPoints(), 138) << "rebuilt for 179 pixels at 44100 Hz";
    EXPECT_TRUE (processor.analyserDataReady.load()) << "the countdown ticks leave the flag raised";
    EXPECT_EQ (processor.analyserFifo.getNumReady(), 8192) << "nothing is read while counting down";

    analyser.timerCallback();
    EXPECT_FALSE (processor.analyserDataReady.load());
    EXPECT_EQ (processor.analyserFifo.getNumReady(), 2048);

    analyser.setSize (360, 360);
    EXPECT_EQ (analyser.getFirstPoint(), 174);
    EXPECT_EQ (analyser.getResizeCountdown(), 5);
}

TEST_F (SpectrumAnalyzerTest, SixThousandSamplesGiveTwoOverlappingFrames)
{
    showAt (179);
    push (sine (binCentre (100), 6144));
    analyser.timerCallback();

    EXPECT_EQ (processor.analyserFifo.getNumReady(), 2048) << "each frame consumes half a block";
    EXPECT_FALSE (processor.analyserDataReady.load());
    // Two of the four averaged spectra hold the full-scale sine: half of 1.0.
    EXPECT_NEAR (levelOfBin (100), 20.0f * std::log10 (0.5f), 0.05f);

    // Another 2048 complete the next block, which overlaps the previous one by 2048 samples.
    push (sine (binCentre (100), 2048));
    analyser.timerCallback();
    EXPECT_EQ (processor.analyserFifo.getNumReady(), 2048);
    EXPECT_NEAR (levelOfBin (100), 20.0f * std::log10 (0.75f), 0.05f);
}

TEST_F (SpectrumAnalyzerTest, FullScaleSineReadsZeroDecibels)
{
    showAt (179);

    // 4096 + 3 x 2048 samples: four frames fill the average.
    const auto samples = sine (binCentre (100), 10240);
    push (samples);
    analyser.timerCallback();

    EXPECT_NEAR (levelOfBin (100), 0.0f, 0.05f);
    EXPECT_LT (levelOfBin (400), -60.0f) << "far from the tone the Hann window leaves little";
}

TEST_F (SpectrumAnalyzerTest, ToneBetweenBinsLosesOnlyTheWindowScalloping)
{
    showAt (179);
    push (sine (binCentre (37) + 0.5 * sampleRate / SpectrumMath::fftSize, 10240, 0.5f));
    analyser.timerCallback();

    const auto& points = analyser.getPoints();
    float loudest = -200.0f;

    for (int p = 0; p < analyser.getNumPoints(); ++p)
        loudest = juce::jmax (loudest, SpectrumAnalyzer::getFftPointLevel (analyser.getAverageSpectrum(), points[(size_t) p]));

    // Half scale is -6.02 dB; midway between bins a Hann window loses 1.42 dB more.
    EXPECT_NEAR (loudest, -6.02f - 1.42f, 0.1f);
}

TEST_F (SpectrumAnalyzerTest, HiddenDisplayLeavesTheFeedAlone)
{
    showAt (179);
    push (sine (binCentre (50), 8192));
    analyser.setVisible (false);
    analyser.timerCallback();

    EXPECT_EQ (processor.analyserFifo.getNumReady(), 8192);
    EXPECT_TRUE (processor.analyserDataReady.load());

    analyser.setVisible (true);
    processor.analyserDataReady = false;
    analyser.timerCallback();
    EXPECT_EQ (processor.analyserFifo.getNumReady(), 8192) << "without the data flag the tick reads nothing";

    processor.analyserDataReady = true;
    analyser.timerCallback();
    EXPECT_EQ (processor.analyserFifo.getNumReady(), 2048) << "a visible display drains every block waiting";
}

TEST_F (SpectrumAnalyzerTest, NothingIsDrawnWhileSwitchedOutOrCountingDown)
{
    analyser.setVisible (true);
    analyser.setSize (179, 179);
    EXPECT_TRUE (isBlank (render())) << "during the countdown after a resize";

    showAt (179);
    processor.effectOff = true;
    EXPECT_TRUE (isBlank (render())) << "while the power is off";

    processor.effectOff = false;
    processor.bypassedByHost = true;
    EXPECT_TRUE (isBlank (render())) << "while the host bypasses";

    processor.bypassedByHost = false;
    EXPECT_FALSE (isBlank (render()));

    analyser.setVisible (false);
    EXPECT_TRUE (isBlank (render())) << "while hidden";
}

TEST_F (SpectrumAnalyzerTest, SilenceLiesOnTheBaselineAndAToneRisesAboveIt)
{
    showAt (179);
    const auto silent = render (60); // long enough for the smoothed curve to settle

    const auto baseline = 0.9f * 179.0f;
    const auto& points = analyser.getPoints();
    const auto toneBin = 28;
    const auto& tonePoint = *std::find_if (points.begin(), points.begin() + analyser.getNumPoints(), [] (const auto& p)
        { return p.lastBin >= toneBin; });
    const auto drawnMiddle = (points[10].x + points[(size_t) analyser.getNumPoints() - 88].x) / 2;

    // The fills are translucent; what counts is where they cover.
    EXPECT_GT (silent.getPixelAt (drawnMiddle, (int) (0.5f * (0.5f * 179.0f + baseline))).getAlpha(), 0) << "filled between the middle line and the baseline";
    EXPECT_EQ (silent.getPixelAt (drawnMiddle, (int) (0.25f * 179.0f)).getAlpha(), 0) << "nothing in the upper half";
    EXPECT_EQ (silent.getPixelAt (drawnMiddle, 176).getAlpha(), 0) << "nothing below the baseline's outline";
    EXPECT_EQ (silent.getPixelAt (tonePoint.x, 20).getAlpha(), 0);

    push (sine (binCentre (toneBin), 10240));
    analyser.timerCallback();
    const auto loud = render (60);

    // 0 dB sits 6/126 of the baseline below the top edge.
    const auto toneY = SpectrumMath::levelToY (0.0f, baseline);
    EXPECT_LT (toneY, 10.0f);
    EXPECT_GT (loud.getPixelAt (tonePoint.x, 20).getAlpha(), 0) << "the tone's column rises towards the top";
    EXPECT_EQ (loud.getPixelAt (points[12].x, 20).getAlpha(), 0) << "a column far from the tone stays low";
}

TEST_F (SpectrumAnalyzerTest, SmoothedCurveStartsAtTheTopAndSinks)
{
    showAt (179);
    render();

    const auto& levels = analyser.getSmoothedLevels();
    ASSERT_EQ ((int) levels.size(), analyser.getNumPoints());

    const auto y = SpectrumMath::levelToY (-120.0f, 0.9f * 179.0f);
    const auto i0 = analyser.getNumPoints() - 88;
    EXPECT_FLOAT_EQ (levels[(size_t) i0], y / 3.0f);
    EXPECT_FLOAT_EQ (levels[10], y / 3.0f);
    EXPECT_FLOAT_EQ (levels[9], 0.0f) << "points below 10 are never drawn";
    EXPECT_FLOAT_EQ (levels[(size_t) i0 + 1], 0.0f) << "the highest points are skipped";

    render();
    EXPECT_FLOAT_EQ (levels[(size_t) i0], 5.0f * y / 9.0f);
}

TEST_F (SpectrumAnalyzerTest, NarrowDisplayDrawsOnlyTheEndCurves)
{
    // At 44100 Hz a 17-pixel display keeps fewer than ten points after the skipped ones.
    showAt (17);
    ASSERT_LT (analyser.getNumPoints() - analyser.getFirstPoint(), 10);

    const auto image = render();
    EXPECT_FALSE (isBlank (image)) << "the two end curves are drawn";

    for (const auto level : analyser.getSmoothedLevels())
        EXPECT_FLOAT_EQ (level, 0.0f) << "no level line was drawn";
}

TEST_F (SpectrumAnalyzerTest, TableSmallerThanTheSkippedPointsDrawsNothing)
{
    // 1000 Hz reaches only about four octaves above 20 Hz: fewer points than the 88 skipped.
    prepare (1000.0);
    showAt (179);
    ASSERT_LT (analyser.getNumPoints(), analyser.getFirstPoint());

    EXPECT_TRUE (isBlank (render()));
}

TEST_F (SpectrumAnalyzerTest, RepaintingWhatTheTicksAskForShowsWhatWholePaintsShow)
{
    // A second display fed the same sound paints, over what it showed before, only the area its
    // ticks ask for, as a window does; this one paints whole. Loud tones that move, then near
    // silence, then a tone again: the curves rise, move and fall, and what was on show must go.
    MorvantaProcessor otherProcessor;
    ProcessorTestSupport::prepare (otherProcessor, sampleRate, 512);
    SpectrumFeed::open (otherProcessor);
    SpectrumAnalyzer other (otherProcessor);
    juce::Image screen (juce::Image::ARGB, 179, 179, true);

    showAt (179);
    other.setVisible (true);
    other.setSize (179, 179);

    for (int tick = 0; tick < 5; ++tick)
    {
        otherProcessor.analyserDataReady = true;
        other.timerCallback();
    }

    for (int frame = 0; frame < 40; ++frame)
    {
        const auto level = frame < 15 || frame >= 30 ? 0.5f : 0.0001f;
        const auto samples = sine (binCentre (12 + 9 * (frame % 15)), frame == 0 ? 4096 : 2048, level);
        push (samples);
        ASSERT_TRUE (SpectrumFeed::push (otherProcessor, samples));
        analyser.timerCallback();
        other.timerCallback();

        const auto area = other.getLastRepaintArea();
        screen.clear (area);
        {
            juce::Graphics g (screen);
            g.reduceClipRegion (area);
            other.paint (g);
        }

        const auto whole = render();
        int differing = 0;

        for (int y = 0; y < 179; ++y)
            for (int x = 0; x < 179; ++x)
                differing += screen.getPixelAt (x, y) != whole.getPixelAt (x, y) ? 1 : 0;

        ASSERT_EQ (differing, 0) << "frame " << frame << ", repainted " << area.toString();

        if (frame == 14 || frame == 39)
        {
            EXPECT_LT (area.getHeight(), 179 * 2 / 3) << "frame " << frame << ": the rows above a settled tone stay as they are";
        }
    }
}

TEST (Frame, PaintsARoundScopeLitFromTheUpperLeft)
{
    Frame frame;
    frame.setSize (100, 100);
    juce::Image image (juce::Image::ARGB, 100, 100, true);
    {
        juce::Graphics g (image);
        frame.paintDisc (g);
    }

    EXPECT_EQ (image.getPixelAt (0, 0).getAlpha(), 0) << "corners stay outside the circle";
    EXPECT_EQ (image.getPixelAt (99, 99).getAlpha(), 0);
    EXPECT_EQ (image.getPixelAt (50, 1).getAlpha(), 255) << "the circle touches the top edge";
    EXPECT_EQ (image.getPixelAt (1, 50).getAlpha(), 255) << "and the left edge";

    const auto lit = image.getPixelAt (35, 30);
    const auto dark = image.getPixelAt (80, 80);
    EXPECT_NEAR (lit.getRed(), 0x32, 1) << "gradient centre";
    EXPECT_NEAR (dark.getRed(), 0x05, 1) << "beyond the radius";
    EXPECT_GT (lit.getBrightness(), image.getPixelAt (60, 55).getBrightness());
}
