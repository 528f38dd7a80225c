// What oversampling the drive costs: processBlock at 48000 Hz stereo on pink noise (Tube, Drive
// 20 dB, Grain 50 %) with the drive oversampled 2, 4 and 8 times, each timed against the same
// engine without oversampling in the same iterations, interleaved, with no console and with
// console "U", in blocks of 64 and 512. `x_1x` is the oversampled engine's time divided by the
// plain one's: the figure to read, since the machine's speed and load cancel out of it.

#include "bench/JuceBenchmarkMain.h"

#include "bench/EngineBench.h"

namespace
{
using namespace EngineBench;

void run (benchmark::State& state, int console, int block, int factor)
{
    static const auto source = pinkNoise();
    const BlockPattern pattern{ { block }, block, 0 };
    const auto plain = makeEngine (state, console, pattern, 1);
    const auto oversampled = makeEngine (state, console, pattern, factor);

    if (plain == nullptr || oversampled == nullptr)
        return;

    BlockFeeder plainFeeder (source, block), oversampledFeeder (source, block);
    juce::MidiBuffer midi;
    auto processPlain = [&] (juce::AudioBuffer<float>& b)
    { plain->processBlock (b, midi); };
    auto processOversampled = [&] (juce::AudioBuffer<float>& b)
    { oversampled->processBlock (b, midi); };

    // Past every ramp.
    const int warmUp = juce::roundToInt (sampleRate) / block;
    timeBatch (plainFeeder, pattern, warmUp, processPlain);
    timeBatch (oversampledFeeder, pattern, warmUp, processOversampled);

    const int repeats = juce::jmax (1, framesPerBatch / block);
    const auto [oversampledTime, plainTime] = timeInterleaved (state, pattern, repeats, oversampledFeeder, processOversampled, plainFeeder, processPlain);

    const auto frames = static_cast<double> (state.iterations()) * repeats * block;
    state.counters["x_1x"] = seconds (oversampledTime) / seconds (plainTime);
    state.counters["ns_per_frame"] = 1.0e9 * seconds (oversampledTime) / frames;
    state.counters["ns_per_frame_1x"] = 1.0e9 * seconds (plainTime) / frames;
}

void registerCases()
{
    for (const auto console : { ConsoleLibrary::none, ConsoleLibrary::u })
        for (const int block : { 64, 512 })
            for (const int factor : { 2, 4, 8 })
                registerTimedCase (caseName (console, "block" + std::to_string (block) + "/" + std::to_string (factor) + "x"), [=] (benchmark::State& state)
                    { run (state, console, block, factor); });
}
} // namespace

int main (int argc, char** argv)
{
    registerCases();
    return runBenchmarksWithJuce (argc, argv);
}
