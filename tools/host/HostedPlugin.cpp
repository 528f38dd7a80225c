#include "tools/host/HostedPlugin.h"

namespace HostedPlugin
{
juce::File defaultBundle()
{
    const auto fromEnvironment = juce::SystemStats::getEnvironmentVariable ("MORVANTA_VST3", {});

    if (fromEnvironment.isNotEmpty())
        return juce::File (fromEnvironment);

    return juce::File (MORVANTA_BUILT_BUNDLE);
}

juce::PluginDescription describe (const juce::File& bundle, juce::String& error)
{
    if (! bundle.exists())
    {
        error = "No plug-in bundle at " + bundle.getFullPathName();
        return {};
    }

    // On Linux JUCE's VST3 hosting takes the bundle folder; on Windows it loads the file it is
    // given as the DLL, so a bundle folder is opened at its 64-bit module, as a Windows DAW does.
    auto module = bundle;

#if JUCE_WINDOWS
    if (bundle.isDirectory())
        module = bundle.getChildFile ("Contents").getChildFile ("x86_64-win").getChildFile (bundle.getFileName());
#endif

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, module.getFullPathName());

    if (found.isEmpty())
    {
        error = "The bundle holds no VST3 plug-in: " + bundle.getFullPathName();
        return {};
    }

    return *found.getFirst();
}

std::unique_ptr<juce::AudioPluginInstance> load (const juce::File& bundle, double sampleRate, int blockSize, juce::String& error)
{
    const auto description = describe (bundle, error);

    if (error.isNotEmpty())
        return nullptr;

    juce::VST3PluginFormat format;
    auto instance = format.createInstanceFromDescription (description, sampleRate, blockSize, error);

    if (instance == nullptr && error.isEmpty())
        error = "The host could not create the plug-in";

    return instance;
}

juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& instance, const juce::String& name)
{
    for (auto* parameter : instance.getParameters())
        if (parameter->getName (256) == name)
            return parameter;

    return nullptr;
}
} // namespace HostedPlugin
