#pragma once

#include <algorithm>
#include <string>

#include <juce_audio_processors/juce_audio_processors.h>

namespace SavedStateEdit
{
/** The host's state blob of a hosted instance with the one-character value of one of the
    engine's own root attributes (such as driveMode="2") replaced, as a project saved with that
    setting holds it. Empty when the blob carries no such attribute. */
inline juce::MemoryBlock withEngineAttribute (juce::AudioPluginInstance& plugin, const char* attribute, char value)
{
    juce::MemoryBlock state;
    plugin.getStateInformation (state);
    auto xml = juce::AudioProcessor::getXmlFromBinary (state.getData(), (int) state.getSize());

    if (xml == nullptr)
        return {};

    bool replaced = false;

    for (auto* part : xml->getChildIterator())
    {
        juce::MemoryBlock bytes;

        if (! bytes.fromBase64Encoding (part->getAllSubText()))
            continue;

        // The blob holds binary length fields before its XML text: search bytes, not a string.
        auto* begin = static_cast<char*> (bytes.getData());
        auto* end = begin + bytes.getSize();
        const std::string key = std::string (attribute) + "=\"";
        auto* at = std::search (begin, end, key.begin(), key.end());

        if (at + key.size() >= end)
            continue;

        at[key.size()] = value;
        part->deleteAllTextElements();
        part->addTextElement (bytes.toBase64Encoding());
        replaced = true;
    }

    if (! replaced)
        return {};

    juce::MemoryBlock edited;
    juce::AudioProcessor::copyXmlToBinary (*xml, edited);
    return edited;
}
} // namespace SavedStateEdit
