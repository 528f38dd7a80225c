// The whole engine as the framework drives it: processBlock at 48000 Hz stereo, with the console
// stage off and on. Reports ns per stereo frame and the share of one core needed in real time.

#include <benchmark/benchmark.h>

#include "bench/JuceBenchmarkMain.h"

#include <chrono>
#include <cmath>
#include <thread>

#include <juce_gui_basics/juce_gui_basics.h>

#include "engine/PluginProcessor.h"

namespace
{
constexpr double sampleRate = 48000.0;

void setPlain (MorvantaProcessor& p, const char* id, float value)
{
    auto* parameter = p.parameters.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

// A short, decaying console-like response at the rate the console resources use.
juce::AudioBuffer<float> consoleResponse()
{
    juce::AudioBuffer<float> ir (1, 7);

    for (int i = 0; i < 7; ++i)
        ir.setSample (0, i, (i % 2 == 0 ? 0.9f : -0.4f) * std::pow (0.55f, static_cast<float> (i)));

    return ir;
}

void processBlock (benchmark::State& state)
{
    const int blockSize = static_cast<int> (state.range (0));
    const bool consoleOn = state.range (1) != 0;

    MorvantaProcessor p;
    p.setRateAndBufferSizeDetails (sampleRate, blockSize);
    setPlain (p, "SoftButton", 0.0f);
    setPlain (p, "TubeButton", 1.0f);
    setPlain (p, "Drive", 20.0f);
    setPlain (p, "Grain", 50.0f);

    if (consoleOn)
    {
        p.console.switchOn (true, false, 20.0f);
        p.console.publishImpulseResponse (consoleResponse(), 88200.0f);
    }

    p.prepareToPlay (sampleRate, blockSize);

    juce::AudioBuffer<float> source (2, blockSize), work (2, blockSize);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < blockSize; ++i)
            source.setSample (c, i, 0.3f * std::sin (0.0573f * static_cast<float> (i) + 0.7f * static_cast<float> (c)));

    juce::MidiBuffer midi;

    // Past the fade-ins and, with the console on, until its engine is built and installed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (5);

    for (int warm = 0; warm < 400 || (consoleOn && p.console.convolution.getCurrentIRSize() <= 1); ++warm)
    {
        work.makeCopyOf (source, true);
        p.processBlock (work, midi);

        if (std::chrono::steady_clock::now() > deadline)
        {
            state.SkipWithError ("the console's impulse response was never installed");
            return;
        }

        if (consoleOn && p.console.convolution.getCurrentIRSize() <= 1)
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }

    for (auto _ : state)
    {
        for (int c = 0; c < 2; ++c)
            work.copyFrom (c, 0, source, c, 0, blockSize);

        p.processBlock (work, midi);
        benchmark::DoNotOptimize (work.getReadPointer (0));
        benchmark::ClobberMemory();
    }

    const auto frames = static_cast<double> (state.iterations()) * blockSize;
    state.counters["ns_per_frame"] = benchmark::Counter (frames / 1.0e9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // Seconds of processing per second of audio, as a percentage of one core.
    state.counters["cpu_percent"] = benchmark::Counter (frames / sampleRate / 100.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
} // namespace

BENCHMARK (processBlock)
    ->ArgNames ({ "block", "console" })
    ->Args ({ 64, 0 })
    ->Args ({ 512, 0 })
    ->Args ({ 64, 1 })
    ->Args ({ 512, 1 })
    ->UseRealTime()
    ->MinTime (1.0);

int main (int argc, char** argv)
{
    return runBenchmarksWithJuce (argc, argv);
}
