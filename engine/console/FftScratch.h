#pragma once

#include <cstddef>

#include <juce_core/juce_core.h>

/**
    Working memory for FFTW's transforms on the audio thread.

    Several of the methods FFTW chooses for the plans of JUCE's FFT take a buffer from the heap on
    every transform. While a Scope is open on a thread, every allocation FFTW makes on that thread
    comes from this block instead, set aside at preparation; FFTW frees what it takes before a
    transform returns, so the block starts empty with each Scope. Allocations on other threads
    (planning, on the convolution's loader thread) and any that do not fit go to the heap as they
    always did.
*/
class FftScratch
{
public:
    FftScratch() = default;

    /** Sets aside room for the transforms of a convolution prepared for blocks of up to
        maximumBlockSize samples. Wherever prepareToPlay runs, with no Scope open. */
    void prepare (int maximumBlockSize);

    /** FFTW's allocations on the calling thread come from `scratch` while this lives. Audio
        thread: allocation-free and lock-free. */
    class Scope
    {
    public:
        explicit Scope (FftScratch& scratch) noexcept;
        ~Scope();

    private:
        int slot = -1;

        JUCE_DECLARE_NON_COPYABLE (Scope)
    };

    /** Most bytes in use at once since the last preparation. */
    size_t getPeakUse() const noexcept { return peak; }

    /** Allocations since the last preparation that did not fit and went to the heap. */
    int getOverflows() const noexcept { return overflows; }

    /** Size of the block in bytes. */
    size_t getCapacity() const noexcept { return capacity; }

    /** For FFTW's allocator only: a block of `bytes`, aligned for any SIMD width FFTW uses, or
        nullptr when it does not fit. */
    void* allocate (size_t bytes) noexcept;

    /** For FFTW's allocator only: takes back a block from allocate (the most recent one frees
        its room at once, others at the next Scope); false when the pointer is not ours. */
    bool release (void* block) noexcept;

private:
    juce::HeapBlock<std::byte> storage;
    std::byte* base = nullptr;
    size_t capacity = 0, used = 0, peak = 0;
    int overflows = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FftScratch)
};
