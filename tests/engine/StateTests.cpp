#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"

namespace
{
    void setPlain (MorvantaProcessor& p, const char* id, float plainValue)
    {
        auto* parameter = p.parameters.getParameter (id);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (plainValue));
    }

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

    auto check = [&] (const void* data, int size, const char* what) {
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
