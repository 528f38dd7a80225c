#include "engine/console/ConvolutionLoader.h"

#include <atomic>

namespace
{
/** Held by the one writer of the loader's queue between the reservation of a slot and its
    completion; the owner is the writing thread, so that a completion on any other FIFO of the
    same size could never release it. */
juce::SpinLock pushLock;
std::atomic<const void*> pushOwner{ nullptr };
std::atomic<bool> locking{ true };

bool isLoaderQueue (const juce::AbstractFifo& fifo) noexcept { return locking.load() && fifo.getTotalSize() == ConvolutionLoader::capacity; }
} // namespace

ConvolutionLoader::ConvolutionLoader()
    : queue (capacity)
{
    // Resetting a convolution pushes one command. No stage can push yet: if the lock is still
    // held afterwards, this build's completion of the write escaped the wrap.
    juce::dsp::Convolution probe{ juce::dsp::Convolution::Latency{ 0 }, queue };
    probe.reset();

    if (pushOwner.load() != nullptr)
    {
        locking.store (false);
        pushOwner.store (nullptr);
        pushLock.exit();
    }
}

ConvolutionLoader::~ConvolutionLoader() = default;

bool ConvolutionLoader::writesAreLocked() noexcept { return locking.load(); }

//==============================================================================
// The framework's FIFO reserves a slot in AbstractFifo::write and completes the write when the
// returned scope ends, in finishedWrite; the link wraps both (--wrap), so the originals are
// reached as __real_. Both are member functions, called with the FIFO as their first argument
// after the address of the returned scope.
extern "C"
{
    juce::AbstractFifo::ScopedWrite __real__ZN4juce12AbstractFifo5writeEi (juce::AbstractFifo* fifo, int numToWrite) noexcept;
    void __real__ZN4juce12AbstractFifo13finishedWriteEi (juce::AbstractFifo* fifo, int numWritten) noexcept;

    juce::AbstractFifo::ScopedWrite __wrap__ZN4juce12AbstractFifo5writeEi (juce::AbstractFifo* fifo, int numToWrite) noexcept
    {
        if (isLoaderQueue (*fifo))
        {
            pushLock.enter();
            pushOwner.store (juce::Thread::getCurrentThreadId());
        }

        return __real__ZN4juce12AbstractFifo5writeEi (fifo, numToWrite);
    }

    void __wrap__ZN4juce12AbstractFifo13finishedWriteEi (juce::AbstractFifo* fifo, int numWritten) noexcept
    {
        __real__ZN4juce12AbstractFifo13finishedWriteEi (fifo, numWritten);

        if (pushOwner.load() == juce::Thread::getCurrentThreadId() && isLoaderQueue (*fifo))
        {
            pushOwner.store (nullptr);
            pushLock.exit();
        }
    }
}
