#include <gtest/gtest.h>

#include <algorithm>

#include "engine/state/ParameterIDs.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/engine/ProcessorTestSupport.h"

using EditorTestSupport::OpenEditor;

namespace
{
constexpr double rate = 44100.0;
constexpr int block = 512;

// A bass line with harmonics over low-passed noise, through the whole chain.
void playMusic (MorvantaProcessor& p, double seconds, juce::Random& random)
{
    juce::MidiBuffer midi;
    const auto total = (int) (seconds * rate);
    float lowPassed = 0.0f;

    for (int done = 0; done < total; done += block)
    {
        auto buffer = ProcessorTestSupport::make (2, block, [&] (int channel, int i)
            {
                if (channel == 0)
                    lowPassed = 0.95f * lowPassed + 0.05f * (2.0f * random.nextFloat() - 1.0f);

                const auto t = (done + i) / rate;
                return lowPassed + 0.3f * (float) std::sin (juce::MathConstants<double>::twoPi * 55.0 * t) + 0.1f * (float) std::sin (juce::MathConstants<double>::twoPi * 440.0 * t); });
        p.processBlock (buffer, midi);
    }
}

juce::File outputFolder()
{
    const juce::File folder (MORVANTA_TEST_OUTPUT_DIR);
    folder.createDirectory();
    return folder;
}

// Pixels of the two images that differ inside an area.
int differingPixels (const juce::Image& a, const juce::Image& b, juce::Rectangle<int> area)
{
    int count = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                ++count;

    return count;
}

// Largest difference of any colour channel between two images of one size.
int largestDifference (const juce::Image& a, const juce::Image& b)
{
    const juce::Image::BitmapData pa (a, juce::Image::BitmapData::readOnly), pb (b, juce::Image::BitmapData::readOnly);
    int largest = 0;

    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
        {
            const auto p = pa.getPixelColour (x, y), q = pb.getPixelColour (x, y);
            largest = std::max ({ largest, std::abs (p.getRed() - q.getRed()), std::abs (p.getGreen() - q.getGreen()), std::abs (p.getBlue() - q.getBlue()) });
        }

    return largest;
}

// The editor's own paint, clipped to `area`, on a display of the given scale: its cached
// picture, or its still layers painted directly.
juce::Image paintAtScale (MorvantaProcessorEditor& e, float scale, juce::Rectangle<int> area, bool direct)
{
    juce::Image image (juce::Image::RGB, (int) std::ceil (e.getWidth() * scale), (int) std::ceil (e.getHeight() * scale), true);
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale (scale));
    g.reduceClipRegion (area);

    if (direct)
        e.paintStillLayers (g);
    else
        e.paint (g);

    return image;
}
} // namespace

// Writes editor-450.png, editor.png and editor-1800.png into the build folder for a person to look at.
TEST (EditorSnapshot, WholeWindowWithAudioRunningShowsTheSpectrum)
{
    MorvantaProcessor processor;
    ProcessorTestSupport::prepare (processor, rate, block);
    ProcessorTestSupport::setPlain (processor, ParameterIDs::drive, 18.0f);
    ProcessorTestSupport::setPlain (processor, ParameterIDs::grain, 40.0f);

    OpenEditor editor (processor);
    auto& analyser = editor->analyser;
    analyser.stopTimer(); // ticked by hand
    juce::Random random (3);

    for (const auto width : { 450, 900, 1800 })
    {
        editor->setSize (width, juce::roundToInt (width / MorvantaProcessorEditor::aspectRatio));

        // Five ticks with data after the resize, then one that reads the feed.
        playMusic (processor, 0.2, random);
        for (int tick = 0; tick < 5; ++tick)
            analyser.timerCallback();
        ASSERT_EQ (analyser.getResizeCountdown(), 0);

        juce::Image scratch (juce::Image::ARGB, analyser.getWidth(), analyser.getHeight(), true);

        for (int frame = 0; frame < 12; ++frame)
        {
            playMusic (processor, 0.1, random);
            analyser.timerCallback();
            juce::Graphics g (scratch);
            analyser.paint (g); // the smoothed curve settles one step per paint
        }

        const auto running = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
        const auto name = width == 900 ? juce::String ("editor.png") : "editor-" + juce::String (width) + ".png";
        const auto file = outputFolder().getChildFile (name);
        file.deleteFile();
        {
            juce::FileOutputStream out (file);
            ASSERT_TRUE (out.openedOk()) << file.getFullPathName();
            juce::PNGImageFormat().writeImageToStream (running, out);
        }
        std::printf ("wrote %s\n", file.getFullPathName().toRawUTF8());

        // The same window with the power off shows an empty scope: the spectrum was drawn.
        processor.effectOff.store (true);
        const auto empty = editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f);
        processor.effectOff.store (false);

        const auto scope = editor->frame.getBounds();
        EXPECT_GT (differingPixels (running, empty, scope), scope.getWidth() * scope.getHeight() / 20) << width;
        EXPECT_EQ (differingPixels (running, empty, editor->getLocalBounds().withTrimmedTop (scope.getBottom() + 4)), 0) << "nothing outside the scope depends on the audio";

        // The picture the window copies matches its layers painted directly, on any display, and
        // so does the copy it keeps of the scope's area for the display's repaints.
        for (const auto scale : { 1.0f, 1.5f, 2.0f })
            for (const auto area : { editor->getLocalBounds(), scope })
                EXPECT_LE (largestDifference (paintAtScale (*editor, scale, area, false), paintAtScale (*editor, scale, area, true)), 2) << width << " at scale " << scale << " in " << area.toString();
    }
}
