#pragma once

// What the engine benchmarks share: the signal, the host's blocks and a prepared engine playing
// Tube at Drive 20 dB and Grain 50 %.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <juce_audio_formats/juce_audio_formats.h>

#include "engine/PluginProcessor.h"
#include "engine/console/ConsoleLibrary.h"

namespace EngineBench
{
inline constexpr double sampleRate = 48000.0;
inline constexpr int sourceFrames = 48000; // one second of noise, read round and round
inline constexpr int framesPerBatch = 4096; // blocks timed together, so the clock's own cost stays negligible

using Clock = std::chrono::steady_clock;

inline void setPlain (MorvantaProcessor& p, const char* id, float value)
{
    auto* parameter = p.parameters.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

/** Stereo pink noise around -15 dBFS RMS (a three-pole approximation of a 1/f spectrum). */
inline juce::AudioBuffer<float> pinkNoise()
{
    juce::AudioBuffer<float> noise (2, sourceFrames);
    juce::Random random (12);

    for (int c = 0; c < 2; ++c)
    {
        float b0 = 0.0f, b1 = 0.0f, b2 = 0.0f;

        for (int i = 0; i < sourceFrames; ++i)
        {
            const float white = random.nextFloat() * 2.0f - 1.0f;
            b0 = 0.99765f * b0 + white * 0.0990460f;
            b1 = 0.96300f * b1 + white * 0.2965164f;
            b2 = 0.57000f * b2 + white * 1.0526913f;
            noise.setSample (c, i, 0.06f * (b0 + b1 + b2 + white * 0.1848f));
        }
    }

    return noise;
}

/** The host's block sizes, repeated: {64}, {512}, {511, 513}. */
struct BlockPattern
{
    std::vector<int> sizes;
    int preparedMaximum;
    int oddBlock; // a block of this size comes once before the timed blocks; 0 for none

    int framesPerRepeat() const
    {
        int frames = 0;

        for (auto size : sizes)
            frames += size;

        return frames;
    }
};

/** Feeds the host's blocks from the noise, in place in a buffer of the prepared maximum. */
class BlockFeeder
{
public:
    BlockFeeder (const juce::AudioBuffer<float>& sourceToUse, int maximumBlock)
        : source (sourceToUse)
        , work (2, maximumBlock)
    {
    }

    /** The next `n` frames of the noise, as a host buffer of `n` frames. */
    juce::AudioBuffer<float>& next (int n)
    {
        if (position + n > source.getNumSamples())
            position = 0;

        for (int c = 0; c < 2; ++c)
            work.copyFrom (c, 0, source, c, position, n);

        position += n;
        view.setDataToReferTo (work.getArrayOfWritePointers(), 2, n);
        return view;
    }

private:
    const juce::AudioBuffer<float>& source;
    juce::AudioBuffer<float> work, view;
    int position = 0;
};

/** The unit: out = tanh (2 x), on each channel of a block. Not vectorised: std::tanh is a libm call. */
inline void tanhWaveshaper (juce::AudioBuffer<float>& block)
{
    for (int c = 0; c < block.getNumChannels(); ++c)
    {
        auto* samples = block.getWritePointer (c);

        for (int i = 0; i < block.getNumSamples(); ++i)
            samples[i] = std::tanh (2.0f * samples[i]);
    }
}

template <typename Process>
Clock::duration timeBatch (BlockFeeder& feeder, const BlockPattern& pattern, int repeats, Process&& process)
{
    const auto start = Clock::now();

    for (int r = 0; r < repeats; ++r)
        for (auto size : pattern.sizes)
        {
            auto& block = feeder.next (size);
            process (block);
            benchmark::DoNotOptimize (block.getReadPointer (0));
            benchmark::ClobberMemory();
        }

    return Clock::now() - start;
}

/** An engine prepared for `pattern` at 48000 Hz playing Tube, Drive 20 dB, Grain 50 %, with
    `console` (decoded as the console button decodes it) and the drive oversampled `factor`
    times; null (and the benchmark skipped) if the console is not in use from the first block. */
inline std::unique_ptr<MorvantaProcessor> makeEngine (benchmark::State& state, int console, const BlockPattern& pattern, int factor = 1)
{
    auto p = std::make_unique<MorvantaProcessor>();
    p->setRateAndBufferSizeDetails (sampleRate, pattern.preparedMaximum);
    setPlain (*p, "SoftButton", 0.0f);
    setPlain (*p, "TubeButton", 1.0f);
    setPlain (*p, "Drive", 20.0f);
    setPlain (*p, "Grain", 50.0f);
    p->setOversampling (factor);

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    ConsoleLibrary::applyConsole (p->console, console, 20.0f, formats);

    p->prepareToPlay (sampleRate, pattern.preparedMaximum);

    // A console handed over before preparation is built by it: in use from the first block.
    if (console != ConsoleLibrary::none && p->console.convolution.getCurrentIRSize() <= 1)
    {
        state.SkipWithError ("the console's impulse response is not in use");
        return nullptr;
    }

    return p;
}

inline double seconds (Clock::duration d) { return std::chrono::duration<double> (d).count(); }

/** Times `measured` and `reference` on the same host blocks, interleaved in every iteration, so
    that the machine's speed and load cancel out of their ratio; an iteration's time is the
    measured one's. Returns the measured and the reference totals. */
template <typename Measured, typename Reference>
std::pair<Clock::duration, Clock::duration> timeInterleaved (benchmark::State& state, const BlockPattern& pattern, int repeats, BlockFeeder& measuredFeeder, Measured&& measured, BlockFeeder& referenceFeeder, Reference&& reference)
{
    Clock::duration measuredTime{}, referenceTime{};

    for (auto _ : state)
    {
        const auto time = timeBatch (measuredFeeder, pattern, repeats, measured);
        measuredTime += time;
        referenceTime += timeBatch (referenceFeeder, pattern, repeats, reference);
        state.SetIterationTime (seconds (time));
    }

    return { measuredTime, referenceTime };
}

/** "console_off/..." or "console_U/...": the cases' names start with the console they play. */
inline std::string caseName (int console, const std::string& rest) { return std::string ("console_") + (console == ConsoleLibrary::none ? "off/" : "U/") + rest; }

/** Registers a case that times itself (each iteration's engine time), in microseconds. */
template <typename Run>
void registerTimedCase (const std::string& name, Run&& run)
{
    benchmark::RegisterBenchmark (name.c_str(), std::forward<Run> (run))->UseManualTime()->Unit (benchmark::kMicrosecond);
}
} // namespace EngineBench
