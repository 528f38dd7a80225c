#pragma once

#include <vector>

#include "engine/PluginProcessor.h"

/** Both ends of the processor's spectrum feed as the editor and the audio thread drive them,
    for tests and benchmarks of the display that run without an editor or a host. */
namespace SpectrumFeed
{
/** Sizes the feed to one second at the last preparation's rate and switches it on. */
inline void open (MorvantaProcessor& processor)
{
    const auto size = (int) processor.spec.sampleRate;
    processor.analyserFifo.setTotalSize (size);
    processor.analyserBuffer.setSize (1, size);
    processor.analyserFifo.reset();
    processor.analyserBuffer.clear();
    processor.analyserActive = true;
}

/** Pushes the samples whole and raises the data flag; returns false (pushing nothing) when
        they do not fit. */
inline bool push (MorvantaProcessor& processor, const std::vector<float>& samples)
{
    const auto n = (int) samples.size();

    if (processor.analyserFifo.getFreeSpace() < n)
        return false;

    int start1, size1, start2, size2;
    processor.analyserFifo.prepareToWrite (n, start1, size1, start2, size2);
    processor.analyserBuffer.copyFrom (0, start1, samples.data(), size1);
    processor.analyserBuffer.copyFrom (0, start2, samples.data() + size1, size2);
    processor.analyserFifo.finishedWrite (size1 + size2);
    processor.analyserDataReady = true;
    return true;
}
} // namespace SpectrumFeed
