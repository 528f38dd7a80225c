#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "tests/engine/ProcessorTestSupport.h"

using ProcessorTestSupport::setPlain;

namespace
{
std::map<juce::String, float> snapshot (MorvantaProcessor& p)
{
    std::map<juce::String, float> values;

    for (auto* parameter : p.getParameters())
        if (auto* withId = dynamic_cast<juce::RangedAudioParameter*> (parameter))
            values[withId->getParameterID()] = p.parameters.getRawParameterValue (withId->getParameterID())->load();

    return values;
}
} // namespace

TEST (HostState, EveryParameterSurvivesARoundTrip)
{
    MorvantaProcessor original;
    setPlain (original, "Drive", 23.4f);
    setPlain (original, "Grain", 61.0f);
    setPlain (original, "Output", -7.5f);
    setPlain (original, "Mix", 42.0f);
    setPlain (original, "CleanBass", 3.3f);
    setPlain (original, "Brightness", -4.2f);

    for (const char* id : { "SoftButton", "OfConsole", "onButton" })
        setPlain (original, id, 0.0f);

    for (const char* id : { "TubeButton", "TapeButton", "FuzzButton", "UConsole", "AConsole", "SConsole" })
        setPlain (original, id, 1.0f);

    juce::MemoryBlock saved;
    original.getStateInformation (saved);
    ASSERT_GT (saved.getSize(), 0u);

    MorvantaProcessor restored;
    restored.setStateInformation (saved.getData(), static_cast<int> (saved.getSize()));

    const auto expected = snapshot (original);
    EXPECT_EQ (snapshot (restored), expected);
    MorvantaProcessor untouched;
    const auto defaults = snapshot (untouched);

    for (const auto& [id, value] : expected)
        EXPECT_NE (defaults.at (id), value) << id << ": the test must change every parameter";
}

TEST (HostState, DamagedOrForeignDataChangesNothing)
{
    MorvantaProcessor source;
    setPlain (source, "Drive", 30.0f);
    juce::MemoryBlock good;
    source.getStateInformation (good);

    MorvantaProcessor target;
    setPlain (target, "Mix", 55.0f);
    const auto before = snapshot (target);
    const auto stateBefore = target.parameters.copyState().toXmlString();

    auto check = [&] (const void* data, int size, const char* what)
    {
        target.setStateInformation (data, size);
        EXPECT_EQ (snapshot (target), before) << what;
        EXPECT_EQ (target.parameters.copyState().toXmlString(), stateBefore) << what;
    };

    check (nullptr, 0, "null");
    check (good.getData(), 0, "empty");

    for (int cut = 1; cut < static_cast<int> (good.getSize()); cut += 7)
        check (good.getData(), cut, "truncated");

    juce::Random random (99);

    for (int i = 0; i < 200; ++i)
    {
        juce::MemoryBlock noise (static_cast<size_t> (random.nextInt (400) + 1));

        for (size_t b = 0; b < noise.getSize(); ++b)
            static_cast<juce::uint8*> (noise.getData())[b] = static_cast<juce::uint8> (random.nextInt (256));

        check (noise.getData(), static_cast<int> (noise.getSize()), "random");
    }

    juce::MemoryBlock foreign;
    juce::AudioProcessor::copyXmlToBinary (juce::XmlElement ("SomeOtherPlugin"), foreign);
    check (foreign.getData(), static_cast<int> (foreign.getSize()), "foreign root");
}

namespace
{
juce::MemoryBlock withDriveModeAttribute (const juce::MemoryBlock& saved, const juce::String& value)
{
    return ProcessorTestSupport::withStateAttribute (saved, "driveMode", value);
}

void silentChunk (MorvantaProcessor& p)
{
    auto b = Signals::silence (2, 32);
    p.processChunk (b);
}
} // namespace

TEST (HostState, ProjectSavedInDistoReopensInDisto)
{
    MorvantaProcessor original;

    for (const char* id : { "SoftButton", "TubeButton", "TapeButton", "FuzzButton" })
        setPlain (original, id, 0.0f);

    original.grain.driveMode = GrainMath::disto;
    juce::MemoryBlock saved;
    original.getStateInformation (saved);

    MorvantaProcessor restored;
    restored.setStateInformation (saved.getData(), static_cast<int> (saved.getSize()));
    EXPECT_EQ (restored.grain.driveMode.load(), GrainMath::disto);

    restored.setPlayConfigDetails (2, 2, 44100.0, 64);
    restored.prepareToPlay (44100.0, 64);
    silentChunk (restored);
    EXPECT_EQ (restored.grain.installedMode, GrainMath::disto);
    EXPECT_FALSE (restored.parameters.state.hasProperty ("driveMode")) << "the mode is not a parameter";

    // A mode parameter that is on still wins at the next chunk, as it would have on save.
    MorvantaProcessor soft;
    soft.setStateInformation (withDriveModeAttribute (saved, "3").getData(), static_cast<int> (saved.getSize()));
    setPlain (soft, "SoftButton", 1.0f);
    soft.setPlayConfigDetails (2, 2, 44100.0, 64);
    soft.prepareToPlay (44100.0, 64);
    silentChunk (soft);
    EXPECT_EQ (soft.grain.driveMode.load(), GrainMath::soft);
}

TEST (HostState, MissingOrMalformedDriveModeKeepsTheCurrentMode)
{
    MorvantaProcessor source;
    setPlain (source, "Drive", 12.0f);
    juce::MemoryBlock saved;
    source.getStateInformation (saved);

    for (const char* value : { "", "5", "-1", "33", "x", "1.5", " 3" })
    {
        SCOPED_TRACE (value);
        MorvantaProcessor target;
        target.grain.driveMode = GrainMath::tube;
        const auto state = withDriveModeAttribute (saved, value);
        target.setStateInformation (state.getData(), static_cast<int> (state.getSize()));
        EXPECT_EQ (target.grain.driveMode.load(), GrainMath::tube);
        EXPECT_EQ (target.parameters.getRawParameterValue ("Drive")->load(), 12.0f) << "the parameters are still restored";
    }

    for (const int mode : { 0, 1, 2, 3, 4 })
    {
        MorvantaProcessor target;
        target.grain.driveMode = mode == 2 ? 1 : 2;
        const auto state = withDriveModeAttribute (saved, juce::String (mode));
        target.setStateInformation (state.getData(), static_cast<int> (state.getSize()));
        EXPECT_EQ (target.grain.driveMode.load(), mode);
    }

    // Damaged data touches the mode no more than the parameters.
    MorvantaProcessor target;
    target.grain.driveMode = GrainMath::fuzz;
    const auto state = withDriveModeAttribute (saved, "3");

    for (int cut = 1; cut < static_cast<int> (state.getSize()); cut += 5)
        target.setStateInformation (state.getData(), cut);

    EXPECT_EQ (target.grain.driveMode.load(), GrainMath::fuzz);
}
