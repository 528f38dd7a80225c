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

TEST (HostState, OversamplingIsSavedAndAnythingButTwoFourOrEightMeansNone)
{
    MorvantaProcessor source;
    source.setOversampling (4);
    juce::MemoryBlock saved;
    source.getStateInformation (saved);

    MorvantaProcessor restored;
    restored.setStateInformation (saved.getData(), static_cast<int> (saved.getSize()));
    EXPECT_EQ (restored.getOversampling(), 4);
    EXPECT_FALSE (restored.parameters.state.hasProperty ("oversampling")) << "the factor is not a parameter";

    for (const char* value : { "", "1", "3", "16", "-2", "+2", " 2", "2.0", "8x", "x" })
    {
        SCOPED_TRACE (value);
        MorvantaProcessor target;
        target.setOversampling (8);
        const auto state = ProcessorTestSupport::withStateAttribute (saved, "oversampling", value);
        target.setStateInformation (state.getData(), static_cast<int> (state.getSize()));
        EXPECT_EQ (target.getOversampling(), 1);
    }

    MorvantaProcessor target;

    for (const int factor : { 0, 3, 16, -8 })
    {
        target.setOversampling (factor);
        EXPECT_EQ (target.getOversampling(), 1) << factor;
    }
}

namespace
{
juce::MemoryBlock stateOf (MorvantaProcessor& p)
{
    juce::MemoryBlock state;
    p.getStateInformation (state);
    return state;
}

void restore (MorvantaProcessor& p, const juce::MemoryBlock& state) { p.setStateInformation (state.getData(), static_cast<int> (state.getSize())); }

/** Plays `mode` at Drive 20 dB for a few chunks of noise. */
void play (MorvantaProcessor& p, int mode)
{
    setPlain (p, "Drive", 20.0f);
    ProcessorTestSupport::selectMode (p, mode);
    auto noise = Signals::noise (2, 2048, mode + 7, 0.5f);
    ProcessorTestSupport::processInBlocks (p, noise, 512);
}

juce::AudioBuffer<float> noiseThrough (MorvantaProcessor& p)
{
    auto noise = Signals::noise (2, 26000, 5, 0.5f);
    ProcessorTestSupport::processInBlocks (p, noise, 512);
    return noise;
}

} // namespace

TEST (HostState, ReopenedProjectSoundsAsSavedWhateverModesCameBefore)
{
    constexpr int alone = -1;
    constexpr int settled = 17180; // 0.39 s at 44.1 kHz: after the 0.3 s gain ramps

    for (int first = alone; first < GrainMath::numModes; ++first)
    {
        for (int second = 0; second < GrainMath::numModes; ++second)
        {
            if (first == second)
                continue;

            SCOPED_TRACE (juce::String (first) + " then " + juce::String (second));
            MorvantaProcessor original;
            ProcessorTestSupport::prepare (original, 44100.0, 512);
            if (first != alone)
                play (original, first);

            play (original, second);
            const auto saved = stateOf (original);
            const auto heard = noiseThrough (original);

            MorvantaProcessor reopened;
            restore (reopened, saved);
            EXPECT_EQ (stateOf (reopened), saved) << "saved again before it plays";
            ProcessorTestSupport::prepare (reopened, 44100.0, 512);
            EXPECT_LT (Signals::differenceDb (heard, noiseThrough (reopened), settled), -100.0) << "fresh instance";

            // Running instances, one of them already in the restored mode with another cutoff.
            for (int running = 0; running < GrainMath::numModes; ++running)
            {
                MorvantaProcessor target;
                ProcessorTestSupport::prepare (target, 44100.0, 512);
                play (target, running);
                restore (target, saved);
                EXPECT_LT (Signals::differenceDb (heard, noiseThrough (target), settled), -100.0) << "running in " << running;
            }
        }
    }
}

TEST (HostState, MissingOrMalformedDriveCutoffLeavesTheModesHistoryToDecide)
{
    MorvantaProcessor source;
    ProcessorTestSupport::prepare (source, 44100.0, 512);
    play (source, GrainMath::fuzz);
    play (source, GrainMath::disto);
    const auto saved = stateOf (source);

    auto cutoffAfterRestore = [&] (const juce::String& value)
    {
        // Disto in a fresh instance keeps the 10 kHz it finds there.
        MorvantaProcessor target;
        restore (target, ProcessorTestSupport::withStateAttribute (saved, "driveCutoff", value));
        ProcessorTestSupport::prepare (target, 44100.0, 512);
        silentChunk (target);
        EXPECT_EQ (target.grain.installedMode, GrainMath::disto);
        return target.grain.cutoffHz;
    };

    for (const char* value : { "", "x", "nan", "inf", "-6000", "+6000", "0", "19.9", "40000.1", "6000x", " 6000", "6e3", "6.0.0", "." })
        EXPECT_EQ (cutoffAfterRestore (value), GrainMath::initialCutoffHz) << value;

    for (const auto& [value, hz] : { std::pair ("6000.0", 6000.0f), std::pair ("20", 20.0f), std::pair ("40000", 40000.0f), std::pair ("7350.5", 7350.5f) })
        EXPECT_EQ (cutoffAfterRestore (value), hz) << value;
}
