// Measures what many instances cost the host process, as a session with a console on every track
// has them: the bundle loaded through JUCE's VST3 hosting, each instance with console "U" restored
// and prepared, then the process's CPU time (every thread, user and system) in percent of one
// core, its context switches a second and its thread count, over a stretch of wall time while
// the host's message loop waits for events. With --play, one thread also processes every instance
// at the pace of real time, as a host's audio thread does.

#include <chrono>
#include <cstdio>
#include <map>
#include <thread>

#include "tools/host/HostedPlugin.h"
#include "tools/host/ProcessUsage.h"
#include "tools/host/SavedStateEdit.h"

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

struct Options
{
    juce::File bundle = HostedPlugin::defaultBundle();
    int instances = 64;
    double seconds = 10.0;
    bool play = false;
};

bool parse (int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const juce::String arg (argv[i]);
        const bool hasValue = i + 1 < argc;

        if (arg == "--instances" && hasValue)
            options.instances = juce::String (argv[++i]).getIntValue();
        else if (arg == "--seconds" && hasValue)
            options.seconds = juce::String (argv[++i]).getDoubleValue();
        else if (arg == "--play")
            options.play = true;
        else if (arg.startsWith ("--"))
            return false;
        else
            options.bundle = juce::File::getCurrentWorkingDirectory().getChildFile (arg);
    }

    return options.instances > 0 && options.seconds > 0.0;
}

int threadCount()
{
    return juce::File ("/proc/self/task").getNumberOfChildFiles (juce::File::findDirectories);
}

/** Context switches so far of each living thread, by thread id, with its name. */
std::map<juce::String, std::pair<juce::String, double>> switchesPerThread()
{
    std::map<juce::String, std::pair<juce::String, double>> result;

    for (const auto& task : juce::RangedDirectoryIterator (juce::File ("/proc/self/task"), false, "*", juce::File::findDirectories))
    {
        const auto dir = task.getFile();
        double switches = 0.0;

        for (const auto& line : juce::StringArray::fromLines (dir.getChildFile ("status").loadFileAsString()))
            if (line.contains ("ctxt_switches:"))
                switches += line.fromFirstOccurrenceOf (":", false, false).trim().getDoubleValue();

        result[dir.getFileName()] = { dir.getChildFile ("comm").loadFileAsString().trim(), switches };
    }

    return result;
}

/** Processes every instance in turn, a block each, at the pace of real time. */
class PacedSession
{
public:
    explicit PacedSession (std::vector<std::unique_ptr<juce::AudioPluginInstance>>& p)
        : plugins (p)
        , thread ([this]
              { run(); })
    {
    }

    ~PacedSession()
    {
        running = false;
        thread.join();
    }

private:
    void run()
    {
        juce::AudioBuffer<float> buffer (2, blockSize);
        juce::MidiBuffer midi;
        juce::Random random (1);
        const auto period = std::chrono::nanoseconds ((long long) (1.0e9 * blockSize / sampleRate));
        auto due = std::chrono::steady_clock::now();

        while (running)
        {
            for (auto& plugin : plugins)
            {
                for (int i = 0; i < blockSize; ++i)
                    buffer.setSample (0, i, 0.1f * (2.0f * random.nextFloat() - 1.0f));

                buffer.copyFrom (1, 0, buffer, 0, 0, blockSize);
                const juce::ScopedLock lock (plugin->getCallbackLock());
                plugin->processBlock (buffer, midi);
            }

            due += period;
            std::this_thread::sleep_until (due);
        }
    }

    std::vector<std::unique_ptr<juce::AudioPluginInstance>>& plugins;
    std::atomic<bool> running{ true };
    std::thread thread;
};
} // namespace

int main (int argc, char** argv)
{
    Options options;

    if (! parse (argc, argv, options))
    {
        std::puts ("usage: morvanta-idle-cost [bundle.vst3] [--instances n] [--seconds s] [--play]");
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juce;
    std::vector<std::unique_ptr<juce::AudioPluginInstance>> plugins;
    juce::MemoryBlock withConsoleU;
    const auto threadsBefore = threadCount();

    for (int i = 0; i < options.instances; ++i)
    {
        juce::String error;
        auto plugin = HostedPlugin::load (options.bundle, sampleRate, blockSize, error);

        if (plugin == nullptr)
        {
            std::fprintf (stderr, "morvanta-idle-cost: %s\n", error.toRawUTF8());
            return 1;
        }

        if (withConsoleU.isEmpty())
            withConsoleU = SavedStateEdit::withEngineAttribute (*plugin, "consoleIndex", '2');

        plugin->setStateInformation (withConsoleU.getData(), (int) withConsoleU.getSize());
        plugin->setPlayConfigDetails (2, 2, sampleRate, blockSize);
        plugin->prepareToPlay (sampleRate, blockSize);
        plugins.push_back (std::move (plugin));
    }

    std::printf ("%d instances of %s with console \"U\", %s, %d threads in the process (%d before loading)\n",
        options.instances,
        options.bundle.getFullPathName().toRawUTF8(),
        options.play ? "processed at the pace of real time in blocks of 512 at 48 kHz" : "not processed",
        threadCount(),
        threadsBefore);

    {
        std::unique_ptr<PacedSession> session;

        if (options.play)
            session = std::make_unique<PacedSession> (plugins);

        // The host's own message loop rests meanwhile: the framework's hosting layer runs timers
        // of its own for each instance (parameter dispatch at 60 Hz), which a host of another
        // make does not have and which are no cost of the plug-in's.
        const auto threadsAtStart = switchesPerThread();
        const auto before = ProcessUsage::now();
        const auto began = std::chrono::steady_clock::now();
        std::this_thread::sleep_for (std::chrono::duration<double> (options.seconds));
        const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - began;
        const auto after = ProcessUsage::now();
        std::printf ("over %.1f s: %.2f %% of one core, %.0f context switches a second\n",
            wall.count(),
            100.0 * (after.cpuSeconds - before.cpuSeconds) / wall.count(),
            (after.contextSwitches - before.contextSwitches) / wall.count());

        for (const auto& [id, thread] : switchesPerThread())
            if (const auto start = threadsAtStart.find (id); start != threadsAtStart.end())
                std::printf ("  thread \"%s\": %.0f context switches a second\n", thread.first.toRawUTF8(), (thread.second - start->second.second) / wall.count());
    }

    for (auto& plugin : plugins)
        plugin->releaseResources();

    plugins.clear();
    return 0;
}
