// Measures what an open editor costs the whole host process: the bundle loaded through JUCE's
// VST3 hosting, audio running at the pace of real time on a thread of its own, and the process's
// CPU time (every thread, user and system) over wall time with the editor closed and open in
// turn. Needs an X display (scripts/common.sh's ensure_display starts Xvfb).

#include <chrono>
#include <cstdio>

#include "tools/display/WindowManagerAtoms.h"
#include "tools/host/HostWindow.h"
#include "tools/host/HostedPlugin.h"
#include "tools/host/PacedAudioThread.h"
#include "tools/host/ProcessUsage.h"

namespace juce
{
// JUCE's own blocking wait for the next message, what runDispatchLoop calls. Its public loops
// either never return or wake every millisecond, which would hide the wake-ups that the open
// editor causes a host's loop, one that sleeps until something happens.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

struct Options
{
    juce::File bundle = HostedPlugin::defaultBundle();
    int width = 1800, height = 700;
    double seconds = 6.0; // of each measured phase
    int rounds = 5; // closed, then open, this many times
};

bool parse (int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const juce::String arg (argv[i]);
        const bool hasValue = i + 1 < argc;

        if (arg == "--size" && hasValue)
        {
            const juce::String size (argv[++i]);
            options.width = size.upToFirstOccurrenceOf ("x", false, true).getIntValue();
            options.height = size.fromFirstOccurrenceOf ("x", false, true).getIntValue();
        }
        else if (arg == "--seconds" && hasValue)
            options.seconds = juce::String (argv[++i]).getDoubleValue();
        else if (arg == "--rounds" && hasValue)
            options.rounds = juce::String (argv[++i]).getIntValue();
        else if (arg.startsWith ("--"))
            return false;
        else
            options.bundle = juce::File::getCurrentWorkingDirectory().getChildFile (arg);
    }

    return options.width > 0 && options.height > 0 && options.seconds > 0.0 && options.rounds > 0;
}

/** Pink noise at about -21 dBFS RMS: white noise through three one-pole low-passes whose sum
    falls by about 3 dB per octave over the audio band. */
class PinkNoise
{
public:
    void fill (juce::AudioBuffer<float>& block)
    {
        for (int i = 0; i < block.getNumSamples(); ++i)
        {
            const auto white = 2.0f * random.nextFloat() - 1.0f;
            b0 = 0.99765f * b0 + 0.0990460f * white;
            b1 = 0.96300f * b1 + 0.2965164f * white;
            b2 = 0.57000f * b2 + 1.0526913f * white;
            const auto pink = 0.05f * (b0 + b1 + b2 + 0.1848f * white);

            for (int c = 0; c < block.getNumChannels(); ++c)
                block.setSample (c, i, pink);
        }
    }

private:
    juce::Random random{ 1 };
    float b0 = 0.0f, b1 = 0.0f, b2 = 0.0f;
};

/** Runs the message loop for the given wall time, blocking between events as an application's
    loop does, and returns the process's CPU use over it in percent of one core. */
double measure (double seconds)
{
    // A tick now and then wakes the loop even when nothing else happens on this thread.
    struct Wake : juce::Timer
    {
        void timerCallback() override {}
    } wake;
    wake.startTimer (100);

    const auto cpuBefore = ProcessUsage::now().cpuSeconds;
    const auto began = std::chrono::steady_clock::now();
    const auto end = began + std::chrono::duration<double> (seconds);

    while (std::chrono::steady_clock::now() < end)
        juce::dispatchNextMessageOnSystemQueue (false);

    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - began;
    return 100.0 * (ProcessUsage::now().cpuSeconds - cpuBefore) / wall.count();
}

void set (juce::AudioPluginInstance& plugin, const char* name, const char* text)
{
    if (auto* parameter = HostedPlugin::findParameter (plugin, name))
        parameter->setValueNotifyingHost (parameter->getValueForText (text));
}

/** Alternates closed and open phases and returns the mean cost of the open editor in percent
    of one core, or a negative number when the plug-in opened no editor. */
double runPhases (juce::AudioPluginInstance& plugin, const Options& options)
{
    double closed = 0.0, open = 0.0;
    HostWindow::pump (2000); // past the start-up work

    for (int round = 1; round <= options.rounds; ++round)
    {
        const auto closedNow = measure (options.seconds);

        HostWindow host (plugin);

        if (host.editor == nullptr)
            return -1.0;

        const auto size = host.resizeTo (options.width, options.height);
        HostWindow::pump (2000); // the display starts a few ticks after a resize
        const auto openNow = measure (options.seconds);

        std::printf ("  round %d: closed %6.2f %%, open at %d x %d %6.2f %%\n", round, closedNow, size.getWidth(), size.getHeight(), openNow);
        closed += closedNow / options.rounds;
        open += openNow / options.rounds;
    }

    std::printf ("mean: closed %.2f %%, open %.2f %%\n", closed, open);
    return open - closed;
}
} // namespace

int main (int argc, char** argv)
{
    Options options;

    if (! parse (argc, argv, options))
    {
        std::puts ("usage: morvanta-editor-cpu [bundle.vst3] [--size WxH] [--seconds s] [--rounds n]");
        return 2;
    }

    std::setvbuf (stdout, nullptr, _IOLBF, 0); // each figure as it comes
    const WindowManagerAtoms windowManagerAtoms;
    const juce::ScopedJuceInitialiser_GUI juce;

    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
    {
        std::fputs ("morvanta-editor-cpu: no X display\n", stderr);
        return 1;
    }

    juce::String error;
    auto plugin = HostedPlugin::load (options.bundle, sampleRate, blockSize, error);

    if (plugin == nullptr)
    {
        std::fprintf (stderr, "morvanta-editor-cpu: %s\n", error.toRawUTF8());
        return 1;
    }

    set (*plugin, "Tube Button", "1");
    set (*plugin, "Drive", "20");
    set (*plugin, "Grain", "50");
    plugin->setPlayConfigDetails (2, 2, sampleRate, blockSize);
    plugin->prepareToPlay (sampleRate, blockSize);

    std::printf ("%s, %.0f Hz stereo, blocks of %d at the pace of real time, pink noise\n",
        options.bundle.getFullPathName().toRawUTF8(),
        sampleRate,
        blockSize);
    std::printf ("process CPU in %% of one core over %.0f s phases, editor at %d x %d:\n", options.seconds, options.width, options.height);

    double cost = 0.0;
    double realTime = 0.0;

    {
        PinkNoise noise;
        PacedAudioThread audio (*plugin, sampleRate, blockSize, [&noise] (juce::AudioBuffer<float>& block)
            { noise.fill (block); });
        const auto began = std::chrono::steady_clock::now();
        cost = runPhases (*plugin, options);
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - began;
        realTime = audio.blocks() * blockSize / sampleRate / wall.count();
    }

    plugin->releaseResources();

    if (cost < 0.0)
    {
        std::fputs ("morvanta-editor-cpu: the plug-in opened no editor\n", stderr);
        return 1;
    }

    std::printf ("audio ran at %.3f x real time\n", realTime);
    std::printf ("the open editor costs %.2f %% of one core\n", cost);
    return 0;
}
