#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "tests/support/Buses.h"

using Buses::layout;

namespace
{
struct ExpectedFloat
{
    const char* id;
    const char* name;
    float start, end, interval, skew, defaultValue;
};

struct ExpectedBool
{
    const char* id;
    const char* name;
    bool defaultValue;
};

const ExpectedFloat expectedFloats[] = {
    { "Drive", "Drive", 0.0f, 50.0f, 0.1f, 0.43067654967308044f, 0.0f },
    { "Grain", "Grain", 0.0f, 100.0f, 0.1f, 1.0f, 0.0f },
    { "Output", "Output", -20.0f, 20.0f, 0.1f, 1.0f, 0.0f },
    { "Mix", "Mix", 0.0f, 100.0f, 1.0f, 1.0f, 100.0f },
    { "CleanBass", "Clean Bass", 0.0f, 20.0f, 0.1f, 1.943358063697815f, 0.0f },
    { "Brightness", "Brightness", -9.0f, 18.0f, 0.1f, 0.6309297680854797f, 0.0f },
};

const ExpectedBool expectedBools[] = {
    { "SoftButton", "Soft Button", true },
    { "TubeButton", "Tube Button", false },
    { "TapeButton", "Tape Button", false },
    { "FuzzButton", "Fuzz Button", false },
    { "OfConsole", "Of Console", true },
    { "UConsole", "U Console", false },
    { "AConsole", "A Console", false },
    { "SConsole", "S Console", false },
    { "onButton", "on Button", true },
};
} // namespace

TEST (ProcessorFacts, FixedAnswersToTheHost)
{
    MorvantaProcessor p;
    EXPECT_EQ (p.getName(), "Morvanta");
    EXPECT_EQ (p.getTailLengthSeconds(), 0.0);
    EXPECT_FALSE (p.acceptsMidi());
    EXPECT_FALSE (p.producesMidi());
    EXPECT_FALSE (p.isMidiEffect());
    EXPECT_EQ (p.getLatencySamples(), 0);

    EXPECT_EQ (p.getNumPrograms(), 1);
    EXPECT_EQ (p.getCurrentProgram(), 0);
    p.setCurrentProgram (5);
    EXPECT_EQ (p.getCurrentProgram(), 0);
    EXPECT_EQ (p.getProgramName (0), "Default");
    EXPECT_EQ (p.getProgramName (1), "");
    EXPECT_EQ (p.getProgramName (-1), "");

    EXPECT_EQ (p.editorWidth, 900);
    EXPECT_EQ (p.editorHeight, 350);
    EXPECT_EQ (p.consoleIndex.load(), 1);
}

TEST (ProcessorFacts, BusesAreMonoToMonoOrStereoToStereoOnly)
{
    MorvantaProcessor p;
    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();
    const auto disabled = juce::AudioChannelSet::disabled();

    EXPECT_TRUE (p.isBusesLayoutSupported (layout (mono, mono)));
    EXPECT_TRUE (p.isBusesLayoutSupported (layout (stereo, stereo)));
    EXPECT_FALSE (p.isBusesLayoutSupported (layout (mono, stereo)));
    EXPECT_FALSE (p.isBusesLayoutSupported (layout (stereo, mono)));
    EXPECT_FALSE (p.isBusesLayoutSupported (layout (disabled, stereo)));
    EXPECT_FALSE (p.isBusesLayoutSupported (layout (stereo, disabled)));
    EXPECT_FALSE (p.isBusesLayoutSupported (layout (juce::AudioChannelSet::create5point1(), juce::AudioChannelSet::create5point1())));
    EXPECT_FALSE (p.isBusesLayoutSupported (layout (juce::AudioChannelSet::quadraphonic(), juce::AudioChannelSet::quadraphonic())));

    ASSERT_EQ (p.getBusCount (true), 1);
    ASSERT_EQ (p.getBusCount (false), 1);
    EXPECT_EQ (p.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (p.getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (p.getBus (true, 0)->getDefaultLayout(), stereo);
    EXPECT_EQ (p.getBus (false, 0)->getDefaultLayout(), stereo);
}

TEST (ProcessorFacts, ParameterTableInHostOrder)
{
    MorvantaProcessor p;
    const auto& params = p.getParameters();
    ASSERT_EQ (params.size(), 15);

    int index = 0;

    for (const auto& e : expectedFloats)
    {
        SCOPED_TRACE (e.id);
        auto* f = dynamic_cast<juce::AudioParameterFloat*> (params[index++]);
        ASSERT_NE (f, nullptr);
        EXPECT_EQ (f->getParameterID(), e.id);
        EXPECT_EQ (f->getName (100), e.name);
        EXPECT_EQ (f->getVersionHint(), 1);
        EXPECT_EQ (f->range.start, e.start);
        EXPECT_EQ (f->range.end, e.end);
        EXPECT_EQ (f->range.interval, e.interval);
        EXPECT_EQ (f->range.skew, e.skew);
        EXPECT_FALSE (f->range.symmetricSkew);
        EXPECT_EQ (f->get(), e.defaultValue);
        EXPECT_EQ (p.parameters.getRawParameterValue (e.id)->load(), e.defaultValue);
    }

    for (const auto& e : expectedBools)
    {
        SCOPED_TRACE (e.id);
        auto* b = dynamic_cast<juce::AudioParameterBool*> (params[index++]);
        ASSERT_NE (b, nullptr);
        EXPECT_EQ (b->getParameterID(), e.id);
        EXPECT_EQ (b->getName (100), e.name);
        EXPECT_EQ (b->getVersionHint(), 1);
        EXPECT_EQ (b->get(), e.defaultValue);
    }
}

TEST (ProcessorFacts, SkewsPutTheTunedValuesAtMidTravel)
{
    MorvantaProcessor p;
    auto range = [&] (const char* id)
    { return p.parameters.getParameterRange (id); };

    EXPECT_NEAR (range ("Drive").convertFrom0to1 (0.5f), 10.0f, 1.0e-4f);
    EXPECT_NEAR (range ("Brightness").convertFrom0to1 (0.5f), 0.0f, 1.0e-4f);
    EXPECT_NEAR (range ("CleanBass").convertFrom0to1 (0.5f), 14.0f, 1.0e-4f);
}

TEST (ProcessorFacts, StateTreeHasOneParamChildPerParameter)
{
    MorvantaProcessor p;
    const auto state = p.parameters.copyState();
    EXPECT_EQ (state.getType().toString(), "Parameters");
    EXPECT_EQ (state.getNumChildren(), 15);

    for (const auto& child : state)
    {
        EXPECT_EQ (child.getType().toString(), "PARAM");
        EXPECT_TRUE (child.hasProperty ("id"));
        EXPECT_TRUE (child.hasProperty ("value"));
    }
}
