#include <gtest/gtest.h>

#include "engine/PluginProcessor.h"
#include "engine/state/PresetReader.h"
#include "tests/engine/ProcessorTestSupport.h"
#include "tests/support/ScratchFolder.h"

namespace
{
// Every parameter with a plain value unlike its default (Mix defaults to 100, the buttons
// flip), in the order of the parameter tree.
const std::vector<std::pair<const char*, double>> presetValues{
    { "Drive", 23.4 },
    { "Grain", 61.0 },
    { "Output", -7.5 },
    { "Mix", 50.0 },
    { "CleanBass", 3.3 },
    { "Brightness", -4.2 },
    { "SoftButton", 0.0 },
    { "TubeButton", 1.0 },
    { "TapeButton", 1.0 },
    { "FuzzButton", 1.0 },
    { "OfConsole", 0.0 },
    { "UConsole", 1.0 },
    { "AConsole", 1.0 },
    { "SConsole", 1.0 },
    { "onButton", 0.0 },
};

constexpr float valueTolerance = 1.0e-4f; // the parameters snap to their 0.1 or 1 steps in float

juce::ValueTree paramChild (const juce::String& id, const juce::var& value)
{
    juce::ValueTree child ("PARAM");
    child.setProperty ("id", id, nullptr);

    if (! value.isVoid())
        child.setProperty ("value", value, nullptr);

    return child;
}

juce::ValueTree fullPreset (const juce::Identifier& rootType = "Parameters")
{
    juce::ValueTree root (rootType);

    for (const auto& [id, value] : presetValues)
        root.appendChild (paramChild (id, value), nullptr);

    return root;
}

juce::MemoryBlock streamOf (const juce::ValueTree& tree)
{
    juce::MemoryOutputStream out;
    tree.writeToStream (out);
    return out.getMemoryBlock();
}

float valueOf (MorvantaProcessor& p, const juce::String& id)
{
    return p.parameters.getRawParameterValue (id)->load();
}

std::map<juce::String, float> snapshot (MorvantaProcessor& p)
{
    std::map<juce::String, float> values;

    for (const auto& entry : presetValues)
        values[entry.first] = valueOf (p, entry.first);

    return values;
}

juce::ValueTree childWithId (const juce::ValueTree& state, const juce::String& id)
{
    return state.getChildWithProperty ("id", id);
}

/** Loads a file and returns what the processor printed on standard output. */
std::string loadCapturingOutput (MorvantaProcessor& p, const juce::File& file)
{
    testing::internal::CaptureStdout();
    p.loadPreset (file);
    return testing::internal::GetCapturedStdout();
}

class PresetLoading : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE (scratch.exists()); }

    juce::File write (const void* data, size_t size, const juce::String& name = "test.mrv")
    {
        auto file = folder.getChildFile (name);
        file.deleteFile();
        EXPECT_TRUE (file.create());
        EXPECT_TRUE (file.appendData (data, size));
        return file;
    }

    juce::File write (const juce::MemoryBlock& bytes) { return write (bytes.getData(), bytes.getSize()); }
    juce::File write (const juce::ValueTree& tree) { return write (streamOf (tree)); }

    /** Loads a file that must be refused: the error line once, and neither a parameter nor
            the state tree changes (the state is still the same tree object). */
    void expectRefused (const juce::File& file, const juce::String& what)
    {
        MorvantaProcessor p;
        p.parameters.getParameter ("Drive")->setValueNotifyingHost (0.5f);
        const auto before = snapshot (p);
        const auto stateBefore = p.parameters.state;
        const auto xmlBefore = p.parameters.copyState().toXmlString();

        EXPECT_EQ (loadCapturingOutput (p, file), "LOAD PRESET ERROR\n") << what;
        EXPECT_EQ (snapshot (p), before) << what;
        EXPECT_EQ (p.parameters.state, stateBefore) << what;
        EXPECT_EQ (p.parameters.copyState().toXmlString(), xmlBefore) << what;
    }

    ScratchFolder scratch{ "morvanta-preset-tests" };
    const juce::File& folder = scratch.getFile();
};
} // namespace

TEST_F (PresetLoading, FullPresetSetsEveryParameterInItsOwnUnits)
{
    MorvantaProcessor p;
    p.setOversampling (4);
    EXPECT_EQ (loadCapturingOutput (p, write (fullPreset())), "");
    EXPECT_EQ (p.getOversampling(), 4) << "a setting of the instance, which presets leave alone";

    for (const auto& [id, value] : presetValues)
        EXPECT_NEAR (valueOf (p, id), value, valueTolerance) << id;

    // The new tree is the state and stays linked: later changes are written into it.
    p.parameters.getParameter ("Mix")->setValueNotifyingHost (0.25f);
    EXPECT_NEAR (static_cast<float> (childWithId (p.parameters.copyState(), "Mix")["value"]), 25.0f, valueTolerance);
}

TEST_F (PresetLoading, TreeShapeRules)
{
    {
        SCOPED_TRACE ("a root of another type is applied and becomes the state");
        MorvantaProcessor p;
        p.loadPreset (write (fullPreset ("SomethingElse")));
        EXPECT_NEAR (valueOf (p, "Drive"), 23.4f, valueTolerance);
        EXPECT_EQ (p.parameters.state.getType().toString(), "SomethingElse");
    }

    {
        SCOPED_TRACE ("a missing child keeps its parameter and gets a child in the state");
        MorvantaProcessor p;
        ProcessorTestSupport::setPlain (p, "Brightness", 5.0f);
        auto preset = fullPreset();
        preset.removeChild (childWithId (preset, "Brightness"), nullptr);

        p.loadPreset (write (preset));
        EXPECT_NEAR (valueOf (p, "Brightness"), 5.0f, valueTolerance);
        EXPECT_NEAR (valueOf (p, "Drive"), 23.4f, valueTolerance);

        const auto state = p.parameters.copyState();
        EXPECT_EQ (state.getNumChildren(), 15);
        EXPECT_TRUE (state.getChild (14).hasType ("PARAM"));
        EXPECT_EQ (state.getChild (14)["id"].toString(), "Brightness");
        EXPECT_NEAR (static_cast<float> (state.getChild (14)["value"]), 5.0f, valueTolerance);

        // The host state saved now brings the kept value back, not the default.
        juce::MemoryBlock saved;
        p.getStateInformation (saved);
        MorvantaProcessor restored;
        restored.setStateInformation (saved.getData(), static_cast<int> (saved.getSize()));
        EXPECT_NEAR (valueOf (restored, "Brightness"), 5.0f, valueTolerance);
    }

    {
        SCOPED_TRACE ("an extra child stays in the state and changes nothing");
        MorvantaProcessor p;
        auto preset = fullPreset();
        preset.addChild (paramChild ("Wobble", 7.0), 3, nullptr);

        p.loadPreset (write (preset));

        for (const auto& [id, value] : presetValues)
            EXPECT_NEAR (valueOf (p, id), value, valueTolerance) << id;

        const auto state = p.parameters.copyState();
        EXPECT_EQ (state.getNumChildren(), 16);
        EXPECT_EQ (static_cast<double> (childWithId (state, "Wobble")["value"]), 7.0);
    }

    {
        SCOPED_TRACE ("a child without a value sets the default");
        MorvantaProcessor p;
        auto preset = fullPreset();
        childWithId (preset, "Mix").removeProperty ("value", nullptr);

        p.loadPreset (write (preset));
        EXPECT_EQ (valueOf (p, "Mix"), 100.0f);
        EXPECT_NEAR (valueOf (p, "Grain"), 61.0f, valueTolerance);
    }

    {
        SCOPED_TRACE ("a value that is not a number counts as no value");
        MorvantaProcessor p;
        p.parameters.getParameter ("Drive")->setValueNotifyingHost (0.5f);
        p.parameters.getParameter ("Mix")->setValueNotifyingHost (0.3f);
        auto preset = fullPreset();
        childWithId (preset, "Drive").setProperty ("value", std::numeric_limits<double>::quiet_NaN(), nullptr);
        childWithId (preset, "Mix").setProperty ("value", "nan", nullptr);
        childWithId (preset, "onButton").setProperty ("value", std::numeric_limits<double>::quiet_NaN(), nullptr);

        p.loadPreset (write (preset));
        EXPECT_EQ (valueOf (p, "Drive"), 0.0f);
        EXPECT_EQ (valueOf (p, "Mix"), 100.0f);
        EXPECT_EQ (valueOf (p, "onButton"), 1.0f);
        EXPECT_NEAR (valueOf (p, "Grain"), 61.0f, valueTolerance);
    }
}

TEST_F (PresetLoading, MissingFileReportsOnceAndChangesNothing)
{
    expectRefused (folder.getChildFile ("0-Nowhere.mrv"), "missing file");
}

TEST_F (PresetLoading, TruncatedFileAppliesTheChildrenCompleteBeforeTheCut)
{
    const auto preset = fullPreset();
    const auto bytes = streamOf (preset);

    // Where the root's header and each child end, from the framework's own writer.
    juce::MemoryOutputStream header;
    header.writeString ("Parameters");
    header.writeCompressedInt (0);
    header.writeCompressedInt (preset.getNumChildren());

    std::vector<size_t> childEnds;
    auto end = header.getDataSize();

    for (const auto& child : preset)
        childEnds.push_back (end += streamOf (child).getSize());

    ASSERT_EQ (end, bytes.getSize());

    MorvantaProcessor fresh;
    const auto defaults = snapshot (fresh);

    for (size_t cut = 0; cut < bytes.getSize(); ++cut)
    {
        const auto trace = "cut after " + std::to_string (cut) + " bytes";
        const auto file = write (bytes.getData(), cut);

        // Nothing to apply before the first child is complete.
        if (cut < childEnds.front())
        {
            expectRefused (file, trace);
            continue;
        }

        MorvantaProcessor p;
        EXPECT_EQ (loadCapturingOutput (p, file), "") << trace;

        for (size_t i = 0; i < presetValues.size(); ++i)
        {
            const auto& [id, value] = presetValues[i];
            const auto expected = childEnds[i] <= cut ? static_cast<float> (value) : defaults.at (id);
            EXPECT_NEAR (valueOf (p, id), expected, valueTolerance) << trace << ": " << id;
        }

        EXPECT_EQ (p.parameters.copyState().getNumChildren(), 15) << trace;
    }
}

TEST_F (PresetLoading, DamageInsideAChildKeepsTheChildrenBeforeIt)
{
    const auto bytes = streamOf (fullPreset());
    const auto* begin = static_cast<const char*> (bytes.getData());
    const auto* end = begin + bytes.getSize();

    // The third child, "Output": its type, property count, "id" and the id's value.
    const std::string third ("PARAM\0\x01\x02id\0\x01\x08\x05Output", 20);
    const auto thirdAt = static_cast<size_t> (std::search (begin, end, third.begin(), third.end()) - begin);
    ASSERT_LT (thirdAt, bytes.getSize());

    const std::pair<size_t, juce::uint8> damages[] = {
        { thirdAt + 14, 0xff }, // a byte that is no UTF-8 in the id
        { thirdAt + 6, 0x81 }, // a negative property count
        { thirdAt + 11, 0x81 }, // a negative size of the id's value
        { thirdAt, 0x00 }, // an empty type
    };

    MorvantaProcessor fresh;
    const auto defaults = snapshot (fresh);

    for (const auto& [offset, byte] : damages)
    {
        auto damaged = bytes;
        static_cast<juce::uint8*> (damaged.getData())[offset] = byte;
        const auto trace = "byte " + std::to_string (offset - thirdAt) + " of the third child";

        MorvantaProcessor p;
        EXPECT_EQ (loadCapturingOutput (p, write (damaged)), "") << trace;
        EXPECT_NEAR (valueOf (p, "Drive"), 23.4f, valueTolerance) << trace;
        EXPECT_NEAR (valueOf (p, "Grain"), 61.0f, valueTolerance) << trace;

        for (size_t i = 2; i < presetValues.size(); ++i)
            EXPECT_EQ (valueOf (p, presetValues[i].first), defaults.at (presetValues[i].first)) << trace << ": " << presetValues[i].first;
    }
}

TEST_F (PresetLoading, FilesWithoutATreeAreRefused)
{
    expectRefused (write (nullptr, 0), "empty file");

    const juce::String text ("[0-Gentle Glue]\nDrive = 3\nMix = 100\n");
    expectRefused (write (text.toRawUTF8(), text.getNumBytesAsUTF8()), "text file");

    const auto xml = fullPreset().toXmlString();
    expectRefused (write (xml.toRawUTF8(), xml.getNumBytesAsUTF8()), "the state as XML");

    expectRefused (folder, "a folder");
    expectRefused (write (juce::ValueTree ("Parameters")), "a root without children");

    juce::Random random (20240607);

    for (int i = 0; i < 300; ++i)
    {
        juce::MemoryBlock noise (static_cast<size_t> (random.nextInt ({ 1, 600 })));
        random.fillBitsRandomly (noise.getData(), noise.getSize());
        expectRefused (write (noise), "random bytes, file " + juce::String (i));
    }
}

TEST_F (PresetLoading, HostileCountsAndNestingAreRefused)
{
    // Each case is a well-formed preset up to one count or nesting that no preset file could
    // hold. Read as the framework would, they loop for billions of iterations, allocate
    // gigabytes or overflow the stack; refused, they return at once.
    const auto header = [] (juce::MemoryOutputStream& out, int numProperties, int numChildren)
    {
        out.writeString ("Parameters");
        out.writeCompressedInt (numProperties);
        out.writeCompressedInt (numChildren);
    };

    const auto paramHeadWithId = [] (juce::MemoryOutputStream& out, const char* id)
    {
        out.writeString ("PARAM");
        out.writeCompressedInt (2);
        out.writeString ("id");
        juce::var (id).writeToStream (out);
        out.writeString ("value");
    };

    const auto firstChildren = streamOf (paramChild ("Drive", 30.0));
    std::vector<std::pair<juce::String, juce::MemoryBlock>> cases;

    {
        juce::MemoryOutputStream out;
        header (out, 0, std::numeric_limits<int>::max());
        out << firstChildren;
        cases.emplace_back ("child count", out.getMemoryBlock());
    }
    {
        juce::MemoryOutputStream out;
        header (out, std::numeric_limits<int>::max(), 1);
        cases.emplace_back ("root property count", out.getMemoryBlock());
    }
    {
        juce::MemoryOutputStream out;
        header (out, 0, 2);
        out << firstChildren;
        out.writeString ("PARAM");
        out.writeCompressedInt (400000000);
        cases.emplace_back ("child property count", out.getMemoryBlock());
    }
    {
        juce::MemoryOutputStream out;
        header (out, 0, 1);
        paramHeadWithId (out, "Mix");
        out.writeCompressedInt (5);
        out.writeByte (7); // array
        out.writeCompressedInt (1500000000);
        cases.emplace_back ("array element count", out.getMemoryBlock());
    }
    {
        juce::MemoryOutputStream out;
        header (out, 0, 1);
        paramHeadWithId (out, "Mix");
        out.writeCompressedInt (2000000000);
        out.writeByte (8); // binary
        cases.emplace_back ("binary size", out.getMemoryBlock());
    }
    {
        juce::MemoryOutputStream out;
        header (out, 0, 1);
        paramHeadWithId (out, "Mix");
        out.writeCompressedInt (std::numeric_limits<int>::max());
        out.writeByte (5); // string
        out << "100";
        cases.emplace_back ("string size", out.getMemoryBlock());
    }
    {
        // Each level is a one-child tree; 100000 of them fit in half a megabyte.
        juce::MemoryOutputStream out;
        header (out, 0, 1);

        for (int level = 0; level < 100000; ++level)
        {
            out.writeString ("a");
            out.writeCompressedInt (0);
            out.writeCompressedInt (1);
        }

        cases.emplace_back ("nested trees", out.getMemoryBlock());
    }
    {
        juce::MemoryOutputStream out;
        header (out, 0, 1);
        paramHeadWithId (out, "Mix");

        for (int level = 0; level < 100000; ++level)
        {
            out.writeCompressedInt (3);
            out.writeByte (7);
            out.writeCompressedInt (1);
        }

        cases.emplace_back ("nested arrays", out.getMemoryBlock());
    }
    {
        // A sound preset padded past the size limit.
        auto oversized = streamOf (fullPreset());
        oversized.setSize (static_cast<size_t> (maxPresetFileBytes) + 1, true);
        cases.emplace_back ("file over the size limit", oversized);
    }

    for (const auto& [what, bytes] : cases)
    {
        expectRefused (write (bytes), what);

        juce::MemoryInputStream in (bytes, false);
        EXPECT_FALSE (readPresetTree (in, static_cast<juce::int64> (bytes.getSize())).isValid()) << what;
    }
}

TEST (PresetReader, AcceptsTheFrameworksOwnStreamsUnchanged)
{
    // Every value type the framework writes, at depth, with extra properties on the root.
    juce::ValueTree root ("Anything");
    root.setProperty ("version", 3, nullptr);
    juce::ValueTree child ("Child");
    child.setProperty ("int64", juce::int64 (1) << 40, nullptr);
    child.setProperty ("flag", false, nullptr);
    child.setProperty ("text", juce::String (juce::CharPointer_UTF8 ("\xc3\xa4\xc3\xb6 t\xc3\xbc\x62 \xe2\x82\xac")), nullptr);
    child.setProperty ("blob", juce::var (juce::MemoryBlock ("xyz", 3)), nullptr);
    child.setProperty ("list", juce::Array<juce::var>{ 1, 2.5, "three", juce::Array<juce::var>{ true } }, nullptr);
    child.setProperty ("nothing", juce::var(), nullptr);
    child.appendChild (juce::ValueTree ("Grandchild").setProperty ("value", 1.5, nullptr), nullptr);
    root.appendChild (child, nullptr);
    root.appendChild (paramChild ("Drive", 12.0), nullptr);

    const auto bytes = streamOf (root);
    juce::MemoryInputStream in (bytes, false);
    const auto read = readPresetTree (in, static_cast<juce::int64> (bytes.getSize()));

    ASSERT_TRUE (read.isValid());
    EXPECT_TRUE (read.isEquivalentTo (root)) << read.toXmlString();
}
