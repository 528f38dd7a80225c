#include <gtest/gtest.h>

#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivstunits.h>

#include "tests/support/AllocationCounter.h"
#include "tests/support/Buses.h"
#include "tests/support/Signals.h"
#include "tools/host/HostedPlugin.h"

using Buses::layout;

namespace
{
std::unique_ptr<juce::AudioPluginInstance> loadOrFail (double rate = 48000.0, int block = 512)
{
    juce::String error;
    auto instance = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
    EXPECT_NE (instance, nullptr) << error;
    return instance;
}

struct ExpectedParameter
{
    const char* name;
    float defaultPlain;
    const char* defaultText;
};
} // namespace

TEST (HostedPlugin, FactoryDescribesTheProduct)
{
    juce::String error;
    const auto d = HostedPlugin::describe (HostedPlugin::defaultBundle(), error);
    ASSERT_TRUE (error.isEmpty()) << error;

    EXPECT_EQ (d.name, "Morvanta");
    EXPECT_EQ (d.manufacturerName, "Quelm");
    EXPECT_EQ (d.version, "1.0.1");
    EXPECT_EQ (d.pluginFormatName, "VST3");
    EXPECT_TRUE (d.category.contains ("Fx")) << d.category;
    EXPECT_TRUE (d.category.contains ("Distortion")) << d.category;
    EXPECT_FALSE (d.isInstrument);
}

TEST (HostedPlugin, ExposesFifteenParametersThenBypass)
{
    auto plugin = loadOrFail();
    ASSERT_NE (plugin, nullptr);
    const auto& params = plugin->getParameters();
    ASSERT_EQ (params.size(), 16);

    const ExpectedParameter expected[] = {
        { "Drive", 0.0f, "0.0" },
        { "Grain", 0.0f, "0.0" },
        { "Output", 0.0f, "0.0" },
        { "Mix", 100.0f, "100" },
        { "Clean Bass", 0.0f, "0.0" },
        { "Brightness", 0.0f, "0.0" },
        { "Soft Button", 1.0f, "On" },
        { "Tube Button", 0.0f, "Off" },
        { "Tape Button", 0.0f, "Off" },
        { "Fuzz Button", 0.0f, "Off" },
        { "Of Console", 1.0f, "On" },
        { "U Console", 0.0f, "Off" },
        { "A Console", 0.0f, "Off" },
        { "S Console", 0.0f, "Off" },
        { "on Button", 1.0f, "On" },
    };

    for (int i = 0; i < 15; ++i)
    {
        SCOPED_TRACE (expected[i].name);
        EXPECT_EQ (params[i]->getName (100), expected[i].name);
        EXPECT_EQ (params[i]->getCurrentValueAsText(), expected[i].defaultText);
    }

    EXPECT_TRUE (params[15]->getName (100).containsIgnoreCase ("Bypass")) << params[15]->getName (100);

    // Normalised positions as a host sees them.
    EXPECT_EQ (params[0]->getValue(), 0.0f);
    EXPECT_EQ (params[3]->getValue(), 1.0f);
    EXPECT_EQ (params[5]->getText (0.5f, 100), "0.0");
    EXPECT_EQ (params[0]->getText (0.5f, 100), "10.0");
    EXPECT_EQ (params[0]->getText (1.0f, 100), "50.0");
    EXPECT_EQ (params[2]->getText (0.0f, 100), "-20.0");
    EXPECT_EQ (params[5]->getText (1.0f, 100), "18.0");
}

TEST (HostedPlugin, LayoutsLatencyProgramsAndMidi)
{
    auto plugin = loadOrFail();
    ASSERT_NE (plugin, nullptr);
    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();

    EXPECT_TRUE (plugin->checkBusesLayoutSupported (layout (stereo, stereo)));
    EXPECT_TRUE (plugin->checkBusesLayoutSupported (layout (mono, mono)));
    EXPECT_FALSE (plugin->checkBusesLayoutSupported (layout (mono, stereo)));
    EXPECT_FALSE (plugin->checkBusesLayoutSupported (layout (juce::AudioChannelSet::create5point1(), juce::AudioChannelSet::create5point1())));

    EXPECT_EQ (plugin->getLatencySamples(), 0);
    EXPECT_EQ (plugin->getTailLengthSeconds(), 0.0);
    EXPECT_FALSE (plugin->acceptsMidi());
    EXPECT_FALSE (plugin->producesMidi());

    // JUCE's hosting only lists programs behind a program-change parameter, which a plug-in with
    // one program does not have; ask the component's VST3 unit interface, as validators do.
    struct ComponentVisitor : juce::ExtensionsVisitor
    {
        void visitVST3Client (const VST3Client& client) override { component = client.getIComponentPtr(); }
        Steinberg::Vst::IComponent* component = nullptr;
    } visitor;

    plugin->getExtensions (visitor);
    ASSERT_NE (visitor.component, nullptr);
    Steinberg::FUnknownPtr<Steinberg::Vst::IUnitInfo> units (visitor.component);
    ASSERT_TRUE (units);
    ASSERT_EQ (units->getProgramListCount(), 1);
    Steinberg::Vst::ProgramListInfo list{};
    ASSERT_EQ (units->getProgramListInfo (0, list), Steinberg::kResultOk);
    EXPECT_EQ (list.programCount, 1);
    Steinberg::Vst::String128 name{};
    ASSERT_EQ (units->getProgramName (list.id, 0, name), Steinberg::kResultOk);
    EXPECT_EQ (juce::String (juce::CharPointer_UTF16 (reinterpret_cast<const juce::CharPointer_UTF16::CharType*> (name))), "Default");
}

TEST (HostedPlugin, StateRoundTripsIntoAFreshInstance)
{
    auto original = loadOrFail();
    ASSERT_NE (original, nullptr);
    auto& params = original->getParameters();

    juce::Random random (3);
    juce::StringArray set;

    // Every float off its default and every switch flipped.
    for (int i = 0; i < 15; ++i)
    {
        const float v = (i >= 6) ? (params[i]->getValue() > 0.5f ? 0.0f : 1.0f) : 0.1f + 0.8f * random.nextFloat();
        params[i]->setValueNotifyingHost (v);
        set.add (params[i]->getCurrentValueAsText());
    }

    juce::MemoryBlock state;
    original->getStateInformation (state);

    auto restored = loadOrFail();
    ASSERT_NE (restored, nullptr);
    restored->setStateInformation (state.getData(), static_cast<int> (state.getSize()));

    for (int i = 0; i < 15; ++i)
        EXPECT_EQ (restored->getParameters()[i]->getCurrentValueAsText(), set[i]) << params[i]->getName (100);
}

TEST (HostedPlugin, DamagedStateChangesNothing)
{
    auto plugin = loadOrFail();
    ASSERT_NE (plugin, nullptr);
    auto& params = plugin->getParameters();
    params[0]->setValueNotifyingHost (0.7f);

    std::vector<float> before;
    for (auto* p : params)
        before.push_back (p->getValue());

    juce::MemoryBlock good;
    plugin->getStateInformation (good);
    juce::Random random (11);

    auto expectUnchanged = [&] (const char* what)
    {
        for (int i = 0; i < params.size(); ++i)
            EXPECT_EQ (params[i]->getValue(), before[static_cast<size_t> (i)]) << what << ": " << params[i]->getName (100);
    };

    juce::MemoryBlock empty;
    plugin->setStateInformation (empty.getData(), 0);
    expectUnchanged ("empty");

    for (const int cut : { 4, 9, 17, 40, static_cast<int> (good.getSize()) / 2 })
    {
        plugin->setStateInformation (good.getData(), juce::jmin (cut, static_cast<int> (good.getSize())));
        expectUnchanged ("truncated");
    }

    for (int i = 0; i < 30; ++i)
    {
        juce::MemoryBlock noise (static_cast<size_t> (random.nextInt (300) + 1));
        random.fillBitsRandomly (noise.getData(), noise.getSize());
        plugin->setStateInformation (noise.getData(), static_cast<int> (noise.getSize()));
        expectUnchanged ("random");
    }
}

TEST (HostedPlugin, ProcessesMonoAndStereo)
{
    for (const int channels : { 1, 2 })
    {
        SCOPED_TRACE (channels);
        auto plugin = loadOrFail (44100.0, 256);
        ASSERT_NE (plugin, nullptr);
        ASSERT_TRUE (plugin->setBusesLayout (layout (channels)));
        plugin->prepareToPlay (44100.0, 256);

        juce::AudioBuffer<float> block (channels, 256);
        juce::MidiBuffer midi;

        for (int n = 0; n < 100; ++n)
        {
            Signals::fill (block, [n] (int, int i)
                { return 0.5f * std::sin (0.05f * static_cast<float> (n * 256 + i)); });

            plugin->processBlock (block, midi);

            for (int c = 0; c < channels; ++c)
                for (int i = 0; i < 256; ++i)
                    ASSERT_TRUE (std::isfinite (block.getSample (c, i)));
        }

        plugin->releaseResources();
    }
}
