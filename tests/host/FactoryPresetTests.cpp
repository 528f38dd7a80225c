#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "tools/host/HostedPlugin.h"

namespace
{
using PresetValues = std::map<juce::String, double>;

const char* const floatIds[] = { "Drive", "Grain", "Output", "Mix", "CleanBass", "Brightness" };
const char* const modeIds[] = { "SoftButton", "TubeButton", "TapeButton", "FuzzButton" };
const char* const consoleIds[] = { "OfConsole", "UConsole", "AConsole", "SConsole" };

/** The readable source, read here on its own: file name -> parameter ID -> value. */
std::map<juce::String, PresetValues> readSource()
{
    const auto root = juce::SystemStats::getEnvironmentVariable ("MORVANTA_TEST_SOURCE_DIR", {});
    juce::StringArray lines;
    juce::File (root).getChildFile ("presets/FactoryPresets.txt").readLines (lines);

    std::map<juce::String, PresetValues> presets;
    juce::String current;

    for (auto line : lines)
    {
        line = line.trim();

        if (line.startsWithChar ('['))
            current = line.removeCharacters ("[]");
        else if (line.containsChar ('=') && ! line.startsWithChar ('#'))
            presets[current][line.upToFirstOccurrenceOf ("=", false, false).trim()] = line.fromFirstOccurrenceOf ("=", false, false).getDoubleValue();
    }

    return presets;
}

juce::File bundlePresetFolder()
{
    return HostedPlugin::defaultBundle().getChildFile ("Contents/Resources/Presets");
}

int countOn (const PresetValues& values, const char* const (&ids)[4])
{
    return static_cast<int> (std::count_if (std::begin (ids), std::end (ids), [&] (const char* id)
        { return values.at (id) == 1.0; }));
}
} // namespace

TEST (FactoryPresets, BundleHoldsExactlyTheSourcePresetsUnderTheNamingRule)
{
    const auto source = readSource();
    ASSERT_GE (source.size(), 12u);

    std::set<juce::String> inSource;

    for (const auto& entry : source)
        inSource.insert (entry.first + ".mrv");

    std::set<juce::String> inBundle;

    for (const auto& entry : juce::RangedDirectoryIterator (bundlePresetFolder(), false, "*", juce::File::findFilesAndDirectories))
        inBundle.insert (entry.getFile().getFileName());

    EXPECT_EQ (inBundle, inSource);

    std::map<juce::juce_wchar, int> perCategory;

    for (const auto& [name, values] : source)
    {
        ++perCategory[name[0]];
        EXPECT_TRUE (juce::String ("012345").containsChar (name[0])) << name;
        EXPECT_EQ (name[1], '-') << name;
        EXPECT_GT (name.substring (2).trim().length(), 0) << name;
    }

    for (const auto category : juce::String ("012345"))
        EXPECT_GE (perCategory[category], 2) << "category " << juce::String::charToString (category);
}

TEST (FactoryPresets, SourceValuesAreSensibleSettings)
{
    for (const auto& [name, values] : readSource())
    {
        EXPECT_EQ (values.size(), 15u) << name;
        EXPECT_LE (countOn (values, modeIds), 1) << name;
        EXPECT_EQ (countOn (values, consoleIds), 1) << name;
        EXPECT_EQ (values.at ("onButton"), 1.0) << name;

        for (const auto& [id, value] : values)
        {
            const auto isFloat = std::any_of (std::begin (floatIds), std::end (floatIds), [&id = id] (const char* f)
                { return id == f; });
            EXPECT_TRUE (isFloat || value == 0.0 || value == 1.0) << name << ": " << id;
        }
    }
}

TEST (FactoryPresets, EachFileHoldsTheWholeParameterState)
{
    for (const auto& [name, values] : readSource())
    {
        juce::FileInputStream in (bundlePresetFolder().getChildFile (name + ".mrv"));
        ASSERT_TRUE (in.openedOk()) << name;

        const auto tree = juce::ValueTree::readFromStream (in);
        EXPECT_TRUE (in.isExhausted()) << name << ": nothing may follow the tree";
        EXPECT_EQ (tree.getType().toString(), "Parameters") << name;
        EXPECT_EQ (tree.getNumChildren(), 15) << name;

        PresetValues inFile;

        for (const auto& child : tree)
        {
            EXPECT_TRUE (child.hasType ("PARAM")) << name;
            EXPECT_EQ (child.getNumProperties(), 2) << name;
            inFile[child["id"].toString()] = static_cast<double> (child["value"]);
        }

        ASSERT_EQ (inFile.size(), values.size()) << name;

        for (const auto& [id, value] : values)
            EXPECT_DOUBLE_EQ (inFile[id], value) << name << ": " << id;
    }
}

TEST (FactoryPresets, LoadingEachSetsAllFifteenParameters)
{
    for (const auto& [name, values] : readSource())
    {
        // A processor away from the defaults, so a parameter the preset failed to set shows.
        MorvantaProcessor p;

        for (auto* parameter : p.getParameters())
            parameter->setValueNotifyingHost (parameter->getValue() > 0.5f ? 0.0f : 0.9f);

        testing::internal::CaptureStdout();
        p.loadPreset (bundlePresetFolder().getChildFile (name + ".mrv"));
        EXPECT_EQ (testing::internal::GetCapturedStdout(), "") << name;

        for (const auto& [id, value] : values)
            EXPECT_NEAR (p.parameters.getRawParameterValue (id)->load(), value, 1.0e-4) << name << ": " << id;
    }
}
