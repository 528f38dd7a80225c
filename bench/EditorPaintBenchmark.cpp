#include <benchmark/benchmark.h>

#include "bench/JuceBenchmarkMain.h"

#include <cmath>

#include "editor/PluginEditor.h"
#include "engine/PluginProcessor.h"

namespace
{
constexpr double sampleRate = 44100.0;
constexpr int blockSize = 512;

// A bass line with a few harmonics over low-passed noise, through the whole engine.
void play (MorvantaProcessor& processor, double seconds, juce::Random& random)
{
    juce::MidiBuffer midi;
    juce::AudioBuffer<float> buffer (2, blockSize);
    float lowPassed = 0.0f;
    const auto total = (int) (seconds * sampleRate);

    for (int done = 0; done < total; done += blockSize)
    {
        for (int i = 0; i < blockSize; ++i)
        {
            const auto t = (done + i) / sampleRate;
            lowPassed = 0.95f * lowPassed + 0.05f * (2.0f * random.nextFloat() - 1.0f);
            const auto v = 2.0f * lowPassed + 0.4f * (float) std::sin (juce::MathConstants<double>::twoPi * 55.0 * t) + 0.1f * (float) std::sin (juce::MathConstants<double>::twoPi * 440.0 * t);
            buffer.setSample (0, i, v);
            buffer.setSample (1, i, v);
        }

        processor.processBlock (buffer, midi);
    }
}

// An editor at its largest (1800 x 700) with the spectrum showing.
struct RunningEditor
{
    RunningEditor()
    {
        processor.setPlayConfigDetails (2, 2, sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);
        editor = std::make_unique<MorvantaProcessorEditor> (processor, processor.parameters);
        editor->analyser.stopTimer(); // ticked by hand below
        editor->setSize (1800, 700);

        juce::Random random (11);
        play (processor, 0.2, random);

        for (int tick = 0; tick < 5; ++tick)
            editor->analyser.timerCallback();

        play (processor, 0.5, random);
        editor->analyser.timerCallback();
    }

    MorvantaProcessor processor;
    std::unique_ptr<MorvantaProcessorEditor> editor;
};

// Everything, children included: what a host's repaint of the whole window costs.
void fullEditorPaintAt1800x700 (benchmark::State& state)
{
    RunningEditor running;
    juce::Image image (juce::Image::RGB, 1800, 700, true);
    juce::Graphics g (image);

    for (int i = 0; i < 10; ++i)
        running.editor->paintEntireComponent (g, true);

    for (auto _ : state)
    {
        running.editor->paintEntireComponent (g, true);
        benchmark::ClobberMemory();
    }
}

// The region the spectrum display's 30 Hz repaint dirties: the framework paints the editor,
// the frame and the display clipped to the display's bounds.
void spectrumRepaintAt1800x700 (benchmark::State& state)
{
    RunningEditor running;
    juce::Image image (juce::Image::RGB, 1800, 700, true);
    juce::Graphics g (image);
    const auto dirty = running.editor->getLocalArea (&running.editor->analyser, running.editor->analyser.getLocalBounds());
    g.reduceClipRegion (dirty);

    for (int i = 0; i < 10; ++i)
        running.editor->paintEntireComponent (g, true);

    for (auto _ : state)
    {
        running.editor->paintEntireComponent (g, true);
        benchmark::ClobberMemory();
    }
}
} // namespace

BENCHMARK (fullEditorPaintAt1800x700)->Unit (benchmark::kMillisecond);
BENCHMARK (spectrumRepaintAt1800x700)->Unit (benchmark::kMicrosecond);

int main (int argc, char** argv)
{
    return runBenchmarksWithJuce (argc, argv);
}
