#include <benchmark/benchmark.h>

#include "bench/JuceBenchmarkMain.h"

#include <cmath>

#include "editor/SpectrumAnalyzer.h"
#include "engine/PluginProcessor.h"
#include "tests/support/SpectrumFeed.h"

namespace
{
constexpr double sampleRate = 44100.0;

// Something like a mixed track: low-passed noise for the broadband floor, a bass line and a
// few harmonics, at a level that peaks near full scale.
std::vector<float> musicLikeSignal (int numSamples)
{
    juce::Random random (7);
    std::vector<float> samples ((size_t) numSamples);
    float lowPassed = 0.0f;

    for (int i = 0; i < numSamples; ++i)
    {
        const auto t = i / sampleRate;
        lowPassed = 0.95f * lowPassed + 0.05f * (2.0f * random.nextFloat() - 1.0f);
        samples[(size_t) i] = 2.0f * lowPassed
                              + 0.4f * (float) std::sin (juce::MathConstants<double>::twoPi * 55.0 * t)
                              + 0.2f * (float) std::sin (juce::MathConstants<double>::twoPi * 220.0 * t)
                              + 0.1f * (float) std::sin (juce::MathConstants<double>::twoPi * 440.0 * t)
                              + 0.05f * (float) std::sin (juce::MathConstants<double>::twoPi * 1320.0 * t);
    }

    return samples;
}

// One paint of the display at its size in the largest window (1800 x 700 gives 360 x 360),
// with a filled average and a settled smoothed curve.
void spectrumPaintAt1800x700 (benchmark::State& state)
{
    MorvantaProcessor processor;
    processor.setPlayConfigDetails (2, 2, sampleRate, 512);
    processor.prepareToPlay (sampleRate, 512);

    SpectrumFeed::open (processor);

    SpectrumAnalyzer analyser (processor);
    analyser.stopTimer(); // driven by hand below
    analyser.setVisible (true);
    analyser.setSize (360, 360);

    for (int tick = 0; tick < 5; ++tick)
    {
        processor.analyserDataReady = true;
        analyser.timerCallback();
    }

    // Enough for eight overlapping frames: the four-spectrum average is full.
    const auto signal = musicLikeSignal (4096 + 7 * 2048);
    SpectrumFeed::push (processor, signal);
    analyser.timerCallback();

    juce::Image image (juce::Image::ARGB, 360, 360, true);
    juce::Graphics g (image);

    for (int i = 0; i < 30; ++i)
        analyser.paint (g);

    for (auto _ : state)
    {
        analyser.paint (g);
        benchmark::ClobberMemory();
    }
}
} // namespace

BENCHMARK (spectrumPaintAt1800x700)->Unit (benchmark::kMicrosecond);

int main (int argc, char** argv)
{
    return runBenchmarksWithJuce (argc, argv);
}
