#include <gtest/gtest.h>

#include <cmath>

#include "tests/engine/ProcessorTestSupport.h"

using namespace ProcessorTestSupport;

namespace
{
/** Every parameter must still be linked to its child of the state tree, both ways: a host's
        change reaches the saved state, and a change of the state reaches the parameter. */
void expectLinked (MorvantaProcessor& p, juce::Random& random, const juce::String& what)
{
    for (auto* parameter : p.getParameters())
    {
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter);
        ASSERT_NE (ranged, nullptr);
        const auto id = ranged->getParameterID();
        const float raw = p.parameters.getRawParameterValue (id)->load();
        ASSERT_TRUE (std::isfinite (raw)) << what << ": " << id;

        ranged->setValueNotifyingHost (random.nextFloat());
        const float expected = p.parameters.getRawParameterValue (id)->load();
        const auto child = p.parameters.copyState().getChildWithProperty ("id", id);
        ASSERT_TRUE (child.isValid()) << what << ": no child for " << id;
        EXPECT_EQ (static_cast<float> (child["value"]), expected) << what << ": host change of " << id << " missed the state";

        const float plain = ranged->convertFrom0to1 (random.nextFloat());
        p.parameters.state.getChildWithProperty ("id", id).setProperty ("value", plain, nullptr);
        EXPECT_NEAR (p.parameters.getRawParameterValue (id)->load(), ranged->convertFrom0to1 (ranged->convertTo0to1 (plain)), 1.0e-4f)
            << what << ": state change of " << id << " missed the parameter";
    }
}

juce::MemoryBlock mutate (const juce::MemoryBlock& original, juce::Random& random)
{
    juce::MemoryBlock data (original);
    auto* bytes = static_cast<juce::uint8*> (data.getData());

    switch (random.nextInt (4))
    {
        case 0: // flip a few bytes
            for (int i = 0; i < 1 + random.nextInt (4); ++i)
                bytes[random.nextInt (static_cast<int> (data.getSize()))] = static_cast<juce::uint8> (random.nextInt (256));
            break;
        case 1: // cut
            data.setSize (static_cast<size_t> (random.nextInt (static_cast<int> (data.getSize()))));
            break;
        case 2: // insert
        {
            const auto at = static_cast<size_t> (random.nextInt (static_cast<int> (data.getSize())));
            const juce::uint8 inserted[] = { static_cast<juce::uint8> (random.nextInt (256)), '<', '&', '"', 0xF0 };
            data.insert (inserted, static_cast<size_t> (1 + random.nextInt (5)), at);
            break;
        }
        default: // duplicate a stretch
        {
            const int start = random.nextInt (static_cast<int> (data.getSize()));
            const int length = random.nextInt (static_cast<int> (data.getSize()) - start);
            juce::MemoryBlock stretch (bytes + start, static_cast<size_t> (length));
            data.append (stretch.getData(), stretch.getSize());
            break;
        }
    }

    return data;
}
} // namespace

TEST (HostileState, MutatedStateBlobsNeverUnlinkTheParameters)
{
    MorvantaProcessor source;
    setPlain (source, "Drive", 12.5f);
    setPlain (source, "Mix", 70.0f);
    juce::MemoryBlock good;
    source.getStateInformation (good);

    MorvantaProcessor p;
    juce::Random random (5150);

    for (int round = 0; round < 400; ++round)
    {
        const auto blob = mutate (good, random);
        p.setStateInformation (blob.getData(), static_cast<int> (blob.getSize()));

        if (round % 20 == 0)
            expectLinked (p, random, "state round " + juce::String (round));
    }

    expectLinked (p, random, "after all state rounds");
}

TEST (HostileState, MutatedPresetFilesNeverUnlinkTheParameters)
{
    MorvantaProcessor source;
    setPlain (source, "Grain", 33.0f);
    juce::MemoryOutputStream stream;
    source.parameters.copyState().writeToStream (stream);
    const auto good = stream.getMemoryBlock();

    const juce::TemporaryFile file (".mrv");
    MorvantaProcessor p;
    juce::Random random (6160);

    for (int round = 0; round < 300; ++round)
    {
        const auto bytes = mutate (good, random);
        ASSERT_TRUE (file.getFile().replaceWithData (bytes.getData(), bytes.getSize()));
        p.loadPreset (file.getFile());

        if (round % 20 == 0)
            expectLinked (p, random, "preset round " + juce::String (round));
    }

    expectLinked (p, random, "after all preset rounds");
}
