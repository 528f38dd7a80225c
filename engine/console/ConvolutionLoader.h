#pragma once

#include <juce_dsp/juce_dsp.h>

/**
    The one background thread that builds convolution engines for every console stage in the
    module. A stage holds it through a juce::SharedResourcePointer: the first stage made starts it,
    the last one destroyed ends it. Left to itself, each convolution would start a thread of its
    own that wakes every 10 ms to look for work, and dozens of idle instances would keep a core
    busy doing nothing.

    The framework's queue takes commands from a single thread at a time, but stages on different
    audio threads (and preparations on the message thread) push onto this one concurrently: a
    command to build an engine, to install one, to drop the one faded out. The link therefore
    wraps the framework's FIFO writes (--wrap for juce::AbstractFifo::write and finishedWrite), and
    a write to this queue's FIFO holds a spin lock from the reservation of its slot until the
    command stands in it: a few hundred bytes copied, so a second writer waits no longer than that.
*/
class ConvolutionLoader
{
public:
    ConvolutionLoader();
    ~ConvolutionLoader();

    /** Room for this many waiting commands: a few per console change of each instance, taken off
        by the loader thread as they come. No sample rate is this number, so no other FIFO in
        the module (the spectrum feed's holds a second of audio) takes the queue's lock. */
    static constexpr int capacity = 1021;

    /** True when writes to the queue take the lock: the build completes the framework's FIFO
        writes where the link wraps them (an optimised build does). The first loader made finds
        out by pushing one command; an unoptimised build pushes without the lock, as the
        framework itself does, rather than never releasing it. Any thread. */
    static bool writesAreLocked() noexcept;

    juce::dsp::ConvolutionMessageQueue queue;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ConvolutionLoader)
};
