#pragma once

#include <algorithm>

#include "engine/PluginProcessor.h"
#include "tests/support/Buses.h"
#include "tests/support/Signals.h"

/** Small helpers for driving a MorvantaProcessor in-process, the way the framework does. */
namespace ProcessorTestSupport
{
// The builders of the signals these helpers feed, for the tests that drive the processor.
using Signals::make;
using Signals::sine;

inline void setPlain (MorvantaProcessor& p, const char* id, float plainValue)
{
    auto* parameter = p.parameters.getParameter (id);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (plainValue));
}

inline float raw (MorvantaProcessor& p, const char* id) { return p.parameters.getRawParameterValue (id)->load(); }

inline void prepare (MorvantaProcessor& p, double rate, int block, int channels = 2)
{
    if (channels != p.getTotalNumOutputChannels())
        p.setBusesLayout (Buses::layout (channels));

    p.setRateAndBufferSizeDetails (rate, block);
    p.prepareToPlay (rate, block);
}

/** Selects a drive mode as the editor does: its parameter alone on, or for Disto (which has
        none) every mode parameter off and the mode written directly. */
inline void selectMode (MorvantaProcessor& p, int mode)
{
    const char* ids[] = { "TapeButton", "SoftButton", "TubeButton", nullptr, "FuzzButton" };

    for (const char* id : ids)
        if (id != nullptr)
            setPlain (p, id, id == ids[mode] ? 1.0f : 0.0f);

    if (mode == GrainMath::disto)
        p.grain.driveMode.store (mode);
}

/** Runs `buffer` through processBlock in place, in blocks of at most `block` frames. */
inline void processInBlocks (MorvantaProcessor& p, juce::AudioBuffer<float>& buffer, int block)
{
    juce::MidiBuffer midi;

    for (int start = 0; start < buffer.getNumSamples(); start += block)
    {
        juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start, std::min (block, buffer.getNumSamples() - start));
        p.processBlock (view, midi);
    }
}

/** A saved host state with one attribute of its root set to `value`, or removed when `value` is
        empty, as an older or edited project would hold it. */
inline juce::MemoryBlock withStateAttribute (const juce::MemoryBlock& saved, const char* attribute, const juce::String& value)
{
    auto xml = juce::AudioProcessor::getXmlFromBinary (saved.getData(), static_cast<int> (saved.getSize()));
    juce::MemoryBlock result;

    if (xml != nullptr)
    {
        if (value.isEmpty())
            xml->removeAttribute (attribute);
        else
            xml->setAttribute (attribute, value);

        juce::AudioProcessor::copyXmlToBinary (*xml, result);
    }

    return result;
}

/** Feeds `seconds` of a sine through processBlock in blocks of `block` frames, starting at
        frame `start`; returns the next frame. */
inline juce::int64 feedSine (MorvantaProcessor& p, double seconds, int block, double frequency, float amplitude, juce::int64 start = 0)
{
    const auto rate = p.spec.sampleRate;
    const auto channels = p.getTotalNumOutputChannels();
    const auto total = static_cast<juce::int64> (seconds * rate);
    juce::MidiBuffer midi;

    for (juce::int64 done = 0; done < total; done += block)
    {
        const int n = static_cast<int> (std::min<juce::int64> (block, total - done));
        auto buffer = make (channels, n, [&] (int, int i)
            { return sine (frequency, rate, start + done + i, amplitude); });
        p.processBlock (buffer, midi);
    }

    return start + total;
}
} // namespace ProcessorTestSupport
