// Feeds arbitrary bytes to the preset reader that MorvantaProcessor::loadPreset uses and to the
// host-state reader of MorvantaProcessor::setStateInformation. Besides
// the sanitizers' findings (memory errors, undefined behaviour, leaks, allocations over the
// limit given on the command line) and timeouts, it checks that whatever the reader accepts
// survives the framework's writer and the reader again unchanged.

#include <cstdint>
#include <cstdlib>

#include "engine/state/PresetReader.h"
#include "engine/state/StateReader.h"

namespace
{
juce::MemoryBlock streamOf (const juce::ValueTree& tree)
{
    juce::MemoryOutputStream out;
    tree.writeToStream (out);
    return out.getMemoryBlock();
}

juce::ValueTree read (const juce::MemoryBlock& bytes)
{
    juce::MemoryInputStream in (bytes, false);
    return readPresetTree (in, static_cast<juce::int64> (bytes.getSize()));
}
} // namespace

namespace
{
void checkStateReader (const std::uint8_t* data, std::size_t size)
{
    const auto xml = StateReader::parse (data, static_cast<int> (size));

    if (xml == nullptr)
        return;

    // What the reader accepts goes on to become the parameter state: it must make a tree.
    const auto tree = juce::ValueTree::fromXml (*xml);

    if (! tree.isValid())
        std::abort();

    for (const auto& child : tree)
        if (! child.isValid())
            std::abort();

    // A drive-stage cutoff the reader hands on is one the low-pass can take.
    if (const auto hz = StateReader::cutoffHz (xml->getStringAttribute ("driveCutoff")))
        if (! (*hz >= StateReader::minimumCutoffHz && *hz <= StateReader::maximumCutoffHz))
            std::abort();

    // An oversampling factor the reader hands on is one the drive stage offers.
    if (const auto factor = StateReader::oversamplingFactor (xml->getStringAttribute ("oversampling")); factor != 1 && factor != 2 && factor != 4 && factor != 8)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    if (size < 1u << 20)
        checkStateReader (data, size);

    juce::MemoryInputStream input (data, size, false);
    const auto tree = readPresetTree (input, static_cast<juce::int64> (size));

    if (! tree.isValid())
        return 0;

    if (tree.getNumChildren() == 0)
        std::abort(); // a tree with nothing to apply must have been refused

    // Compared as streams, which also holds for values that are not a number.
    const auto written = streamOf (tree);
    const auto again = read (written);

    if (! again.isValid() || streamOf (again) != written)
        std::abort();

    return 0;
}
