#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "tests/engine/ProcessorTestSupport.h"
#include "tests/support/AllocationCounter.h"

using namespace ProcessorTestSupport;

namespace
{
/** Runs processBlock (processBlockBypassed while the host bypasses) on pre-made host blocks,
    counting this thread's allocations. */
class AudioThread
{
public:
    AudioThread (MorvantaProcessor& processorToUse, int channels)
        : p (processorToUse)
        , buffer (channels, 1000)
    {
    }

    std::int64_t run (int blocks, int blockSize)
    {
        const AllocationCounter::Scope scope;

        for (int b = 0; b < blocks; ++b)
        {
            juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), blockSize);
            Signals::fill (block, [this] (int c, int i)
                { return 0.4f * std::sin (0.013f * static_cast<float> (frame + i) + static_cast<float> (c)); });
            if (hostBypasses)
                p.processBlockBypassed (block, midi);
            else
                p.processBlock (block, midi);

            frame += blockSize;
        }

        return scope.allocations();
    }

    bool hostBypasses = false;

private:
    MorvantaProcessor& p;
    juce::AudioBuffer<float> buffer;
    juce::MidiBuffer midi;
    int frame = 0;
};

juce::AudioBuffer<float> response (int length, float decay)
{
    return make (1, length, [decay] (int, int i)
        { return (i % 2 == 0 ? 1.0f : -0.5f) * std::pow (decay, static_cast<float> (i)); });
}
} // namespace

TEST (RealTime, TheAudioThreadNeverAllocates)
{
    for (const int channels : { 2, 1 })
    {
        SCOPED_TRACE (channels);
        MorvantaProcessor p;
        prepare (p, 44100.0, 512, channels);
        p.openSpectrumFeed();
        AudioThread audio (p, channels);

        EXPECT_EQ (audio.run (4, 512), 0) << "first blocks after preparation";

        // Every drive mode through its parameter, Disto from the editor, and back.
        for (const char* id : { "TubeButton", "TapeButton", "FuzzButton", "SoftButton" })
        {
            for (const char* other : { "SoftButton", "TubeButton", "TapeButton", "FuzzButton" })
                setPlain (p, other, 0.0f);

            setPlain (p, id, 1.0f);
            EXPECT_EQ (audio.run (3, 512), 0) << id;
        }

        setPlain (p, "SoftButton", 0.0f);
        p.grain.driveMode = GrainMath::disto;
        EXPECT_EQ (audio.run (3, 512), 0) << "Disto";

        // A mode change in the middle of a crossfade, with host blocks that are split.
        setPlain (p, "FuzzButton", 1.0f);
        EXPECT_EQ (audio.run (1, 300), 0);
        setPlain (p, "TapeButton", 1.0f);
        EXPECT_EQ (audio.run (2, 1000), 0) << "split blocks";

        // Console on with a response handed over, replaced, switched off and on again.
        p.console.switchOn (true, true, raw (p, "Drive"));
        p.console.publishImpulseResponse (response (20, 0.6f), 88200.0f);
        EXPECT_EQ (audio.run (2, 512), 0) << "hand-over";

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (5);
        std::int64_t whileLoading = 0;

        while (p.console.convolution.getCurrentIRSize() <= 1 && std::chrono::steady_clock::now() < deadline)
        {
            whileLoading += audio.run (1, 512);
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }

        EXPECT_GT (p.console.convolution.getCurrentIRSize(), 1) << "the loader thread never built the engine";
        EXPECT_EQ (whileLoading, 0) << "installing the new engine";

        p.console.switchOn (false, false, raw (p, "Drive"));
        p.console.publishImpulseResponse (response (17, 0.3f), 88200.0f);
        EXPECT_EQ (audio.run (6, 512), 0) << "console to console";
        p.console.switchOff();
        EXPECT_EQ (audio.run (6, 512), 0) << "console off";
        p.console.publishImpulseResponse (response (18, 0.5f), 88200.0f);
        p.console.switchOn (false, false, raw (p, "Drive"));
        EXPECT_EQ (audio.run (6, 512), 0) << "console back on";

        // Power off, fully off, on again, and reversed mid-fade.
        setPlain (p, "onButton", 0.0f);
        EXPECT_EQ (audio.run (6, 512), 0) << "power off";
        setPlain (p, "onButton", 1.0f);
        EXPECT_EQ (audio.run (1, 300), 0);
        setPlain (p, "onButton", 0.0f);
        EXPECT_EQ (audio.run (1, 300), 0);
        setPlain (p, "onButton", 1.0f);
        EXPECT_EQ (audio.run (4, 512), 0) << "power reversal";

        // The host's bypass: reversed mid-fade, all the way out, power off and on meanwhile, and
        // back in from a cleared chain.
        for (const bool bypassed : { true, false, true })
        {
            audio.hostBypasses = bypassed;
            EXPECT_EQ (audio.run (1, 300), 0) << "host bypass reversal";
        }

        EXPECT_EQ (audio.run (4, 512), 0) << "host bypass";
        EXPECT_FALSE (p.effectOff.load()) << "the power stays on for the display";
        setPlain (p, "onButton", 0.0f);
        EXPECT_EQ (audio.run (1, 512), 0) << "power off while bypassed";
        setPlain (p, "onButton", 1.0f);
        audio.hostBypasses = false;
        EXPECT_EQ (audio.run (4, 512), 0) << "back from the host's bypass";

        // Every float parameter swept across its range, one step per block.
        for (int step = 0; step <= 10; ++step)
        {
            const float position = static_cast<float> (step) / 10.0f;

            for (const char* id : { "Drive", "Grain", "Output", "Mix", "CleanBass", "Brightness" })
                p.parameters.getParameter (id)->setValueNotifyingHost (std::strcmp (id, "Output") == 0 ? 1.0f - position : position);

            EXPECT_EQ (audio.run (1, 512), 0) << "sweep step " << step;
        }

        // Every oversampling factor while playing, a change reversed mid-fade, Fuzz and Disto
        // through their antiderivatives, a mode crossfade and the host's bypass, oversampled.
        for (const int factor : { 2, 4, 8, 1, 4 })
        {
            p.setOversampling (factor);
            EXPECT_EQ (audio.run (6, 512), 0) << factor << "x";
        }

        p.setOversampling (8);
        EXPECT_EQ (audio.run (1, 300), 0);
        p.setOversampling (4);
        EXPECT_EQ (audio.run (4, 512), 0) << "factor change reversed";

        for (const int mode : { GrainMath::fuzz, GrainMath::disto, GrainMath::tube })
        {
            selectMode (p, mode);
            EXPECT_EQ (audio.run (3, 512), 0) << "oversampled mode " << mode;
        }

        audio.hostBypasses = true;
        EXPECT_EQ (audio.run (4, 512), 0) << "oversampled, bypassed";
        p.setOversampling (8);
        EXPECT_EQ (audio.run (4, 512), 0) << "factor change while bypassed";
        audio.hostBypasses = false;
        EXPECT_EQ (audio.run (4, 512), 0) << "oversampled, back from the host's bypass";

        // Empty and one-sample blocks.
        EXPECT_EQ (audio.run (2, 0), 0);
        EXPECT_EQ (audio.run (5, 1), 0);
    }
}
