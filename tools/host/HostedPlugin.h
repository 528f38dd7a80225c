#pragma once

#include <memory>

#include <juce_audio_processors/juce_audio_processors.h>

/** Loads a VST3 bundle through JUCE's VST3 hosting, the same path a DAW takes. Message thread. */
namespace HostedPlugin
{
/** The bundle next to the build's own artefacts, or MORVANTA_VST3 when that is set. */
juce::File defaultBundle();

/** Describes the first plug-in class in the bundle; empty description and `error` set on
        failure. */
juce::PluginDescription describe (const juce::File& bundle, juce::String& error);

/** Creates an instance with a stereo-in/stereo-out layout, not yet prepared. */
std::unique_ptr<juce::AudioPluginInstance> load (const juce::File& bundle, double sampleRate, int blockSize, juce::String& error);

/** Finds a hosted parameter by its VST3 name; nullptr when there is none. */
juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance&, const juce::String& name);
} // namespace HostedPlugin
