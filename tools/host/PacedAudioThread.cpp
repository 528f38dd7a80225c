#include "tools/host/PacedAudioThread.h"

PacedAudioThread::PacedAudioThread (juce::AudioPluginInstance& p, double sampleRate, int blockSize, Signal s)
    : plugin (p)
    , signal (std::move (s))
    , buffer (2, blockSize)
    , period (std::chrono::nanoseconds ((long long) (1.0e9 * blockSize / sampleRate)))
    , thread ([this]
          { run(); })
{
}

PacedAudioThread::~PacedAudioThread()
{
    running = false;
    thread.join();
}

void PacedAudioThread::run()
{
    juce::MidiBuffer midi;
    auto due = std::chrono::steady_clock::now();

    while (running)
    {
        signal (buffer);

        {
            const juce::ScopedLock lock (plugin.getCallbackLock());
            plugin.processBlock (buffer, midi);
        }

        ++processed;
        // A late block is followed at once by the next, so the pace holds on average.
        due += period;
        std::this_thread::sleep_until (due);
    }
}
