#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** Bus layouts as a host proposes them: one main input bus and one main output bus. */
namespace Buses
{
inline juce::AudioProcessor::BusesLayout layout (const juce::AudioChannelSet& in, const juce::AudioChannelSet& out)
{
    juce::AudioProcessor::BusesLayout l;
    l.inputBuses.add (in);
    l.outputBuses.add (out);
    return l;
}

/** The canonical set of `channels` channels (mono, stereo) in and out. */
inline juce::AudioProcessor::BusesLayout layout (int channels)
{
    const auto set = juce::AudioChannelSet::canonicalChannelSet (channels);
    return layout (set, set);
}
} // namespace Buses
