// The whole engine as a host drives it: processBlock at 48000 Hz stereo on pink noise, Tube,
// Drive 20 dB, Grain 50 %, with no console and with console "U" (its embedded impulse response,
// decoded as the product decodes it). Every case times a plain std::tanh waveshaper over the same
// blocks in the same iterations, interleaved with the engine, and reports `x_tanh`: the engine's
// time divided by the loop's. The ratio cancels the speed of the machine and most of the noise
// of other work on it; the absolute ns per stereo frame are secondary.

#include <benchmark/benchmark.h>

#include "bench/JuceBenchmarkMain.h"

#include "bench/EngineBench.h"

namespace
{
using namespace EngineBench;

void run (benchmark::State& state, int console, const BlockPattern& pattern)
{
    static const auto source = pinkNoise();
    const auto p = makeEngine (state, console, pattern);

    if (p == nullptr)
        return;

    const int largestBlock = juce::jmax (pattern.preparedMaximum, pattern.oddBlock);
    BlockFeeder engineFeeder (source, largestBlock), tanhFeeder (source, largestBlock);
    juce::MidiBuffer midi;
    auto processBlock = [&] (juce::AudioBuffer<float>& block)
    { p->processBlock (block, midi); };

    // Past every ramp.
    const int repeats = juce::jmax (1, framesPerBatch / pattern.framesPerRepeat());
    timeBatch (engineFeeder, pattern, juce::roundToInt (sampleRate) / pattern.framesPerRepeat(), processBlock);

    if (pattern.oddBlock > 0)
        processBlock (engineFeeder.next (pattern.oddBlock));

    const auto [engineTime, tanhTime] = timeInterleaved (state, pattern, repeats, engineFeeder, processBlock, tanhFeeder, tanhWaveshaper);

    const auto frames = static_cast<double> (state.iterations()) * repeats * pattern.framesPerRepeat();

    state.counters["x_tanh"] = seconds (engineTime) / seconds (tanhTime);
    state.counters["ns_per_frame"] = 1.0e9 * seconds (engineTime) / frames;
    state.counters["tanh_ns_per_frame"] = 1.0e9 * seconds (tanhTime) / frames;
}

void registerCases()
{
    const struct
    {
        const char* name;
        BlockPattern pattern;
    } patterns[] = {
        { "block64", { { 64 }, 64, 0 } },
        { "block512", { { 512 }, 512, 0 } },
        // One 100-sample block first: every later block straddles the convolution's partitions.
        { "block64_afterOdd", { { 64 }, 64, 100 } },
        { "block512_afterOdd", { { 512 }, 512, 100 } },
        // A host cutting its 1024-sample buffers at automation points.
        { "blocks511_513", { { 511, 513 }, 1024, 0 } },
    };

    for (const auto console : { ConsoleLibrary::none, ConsoleLibrary::u })
        for (const auto& p : patterns)
            registerTimedCase (caseName (console, p.name), [console, pattern = p.pattern] (benchmark::State& state)
                { run (state, console, pattern); });
}
} // namespace

int main (int argc, char** argv)
{
    registerCases();
    return runBenchmarksWithJuce (argc, argv);
}
