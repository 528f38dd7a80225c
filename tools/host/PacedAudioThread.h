#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <juce_audio_processors/juce_audio_processors.h>

/** Calls a hosted plug-in's processBlock on a thread of its own at the pace of real time, as a
    host's audio thread does: each stereo block is due blockSize / sampleRate seconds of wall
    time after the one before, and the thread sleeps until then. The plug-in's callback lock is
    held around each call, as JUCE's own player holds it. */
class PacedAudioThread
{
public:
    /** Fills the whole block with the next input. Called on the audio thread. */
    using Signal = std::function<void (juce::AudioBuffer<float>& block)>;

    /** Starts at once; the plug-in must be prepared for the rate and block size. */
    PacedAudioThread (juce::AudioPluginInstance& plugin, double sampleRate, int blockSize, Signal signal);
    /** Stops after the block in progress. */
    ~PacedAudioThread();

    /** Blocks processed so far. */
    int blocks() const { return processed.load(); }

private:
    void run();

    juce::AudioPluginInstance& plugin;
    const Signal signal;
    juce::AudioBuffer<float> buffer;
    const std::chrono::nanoseconds period;
    std::atomic<bool> running{ true };
    std::atomic<int> processed{ 0 };
    std::thread thread;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PacedAudioThread)
};
