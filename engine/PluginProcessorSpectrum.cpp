#include "engine/PluginProcessor.h"

#include <thread>

void MorvantaProcessor::openSpectrumFeed()
{
    // A push raises its flag before it reads the switch, and both are sequentially consistent:
    // once the switch is off and the flag down, every later push skips the feed until the switch
    // is back on, and sees the storage ready when it is. The audio thread never waits for this.
    analyserActive.store (false);

    while (spectrumPushInFlight.load())
        std::this_thread::yield();

    const int size = static_cast<int> (spec.sampleRate);
    analyserFifo.setTotalSize (size);
    analyserBuffer.setSize (1, size, false, false, false);
    analyserFifo.reset();
    analyserBuffer.clear();
    analyserActive.store (true);
}

void MorvantaProcessor::closeSpectrumFeed()
{
    analyserActive.store (false);
}

void MorvantaProcessor::pushToSpectrumFeed (const juce::AudioBuffer<float>& processed)
{
    spectrumPushInFlight.store (true);

    if (analyserActive.load())
        copyToSpectrumFeed (processed);

    spectrumPushInFlight.store (false);
}

void MorvantaProcessor::copyToSpectrumFeed (const juce::AudioBuffer<float>& processed)
{
    const int n = processed.getNumSamples();

    if (analyserFifo.getFreeSpace() < n)
        return;

    int start1 = 0, size1 = 0, start2 = 0, size2 = 0;
    analyserFifo.prepareToWrite (n, start1, size1, start2, size2);

    const int summed = juce::jmin (mainInputChannels, processed.getNumChannels());

    if (summed > 0)
    {
        if (size1 > 0)
            analyserBuffer.copyFrom (0, start1, processed, 0, 0, size1);

        if (size2 > 0)
            analyserBuffer.copyFrom (0, start2, processed, 0, size1, size2);
    }

    for (int ch = 1; ch < summed; ++ch)
    {
        if (size1 > 0)
            analyserBuffer.addFrom (0, start1, processed, ch, 0, size1);

        if (size2 > 0)
            analyserBuffer.addFrom (0, start2, processed, ch, size1, size2);
    }

    analyserFifo.finishedWrite (size1 + size2);
    analyserDataReady.store (true);
}
