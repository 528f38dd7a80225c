#include "engine/console/FftScratch.h"

#include <atomic>
#include <cstdint>

namespace
{
// FFTW's SIMD code wants its buffers aligned to the vector width (32 bytes with AVX); a cache
// line covers every width and keeps two buffers off one line.
constexpr size_t alignment = 64;

// Each block is preceded by where it and the block before it end, so that the most recent one
// can be taken back at once.
struct Header
{
    size_t previousEnd, end;
};

constexpr size_t headerSize = alignment;
static_assert (sizeof (Header) <= headerSize);

constexpr size_t roundUp (size_t bytes) noexcept { return (bytes + alignment - 1) / alignment * alignment; }

/** Which thread has which scratch block open: a fixed table, so that opening a Scope and
    looking up the calling thread's block neither allocate nor lock. More threads than slots
    running transforms at once fall back to the heap. */
struct Slot
{
    std::atomic<const void*> thread{ nullptr };
    std::atomic<FftScratch*> scratch{ nullptr };
};

constexpr int numSlots = 64;
Slot slots[numSlots];

FftScratch* scratchOfThisThread() noexcept
{
    const void* self = juce::Thread::getCurrentThreadId();

    for (auto& slot : slots)
        if (slot.thread.load (std::memory_order_relaxed) == self)
            return slot.scratch.load (std::memory_order_relaxed);

    return nullptr;
}
} // namespace

void FftScratch::prepare (int maximumBlockSize)
{
    // The convolution transforms 2 (above 128 samples) or 4 times the block size rounded up to a
    // power of two. FFTW's buffers for one transform measure at most the transform size in
    // floats: this is twice that at the largest transform size the convolution picks, with the
    // headers of four blocks held at once: a margin, as FFTW's transforms hold one at a time.
    const auto transformSize = static_cast<size_t> (4 * juce::nextPowerOfTwo (juce::jmax (1, maximumBlockSize)));
    const auto bytes = transformSize * 2 * sizeof (float) + 4 * headerSize;

    storage.allocate (bytes + alignment, false);
    const auto address = reinterpret_cast<std::uintptr_t> (storage.get());
    base = storage.get() + (roundUp (address) - address);
    capacity = bytes;
    used = peak = 0;
    overflows = 0;
}

void* FftScratch::allocate (size_t bytes) noexcept
{
    const size_t start = used + headerSize;
    const size_t end = start + roundUp (bytes);

    if (base == nullptr || end > capacity)
    {
        ++overflows;
        return nullptr;
    }

    *reinterpret_cast<Header*> (base + used) = { used, end };
    used = end;
    peak = juce::jmax (peak, used);
    return base + start;
}

bool FftScratch::release (void* block) noexcept
{
    auto* bytes = static_cast<std::byte*> (block);

    if (base == nullptr || bytes < base + headerSize || bytes >= base + capacity)
        return false;

    // FFTW frees in reverse order of allocation; anything else waits for the next Scope.
    const auto header = *reinterpret_cast<const Header*> (bytes - headerSize);

    if (header.end == used)
        used = header.previousEnd;

    return true;
}

FftScratch::Scope::Scope (FftScratch& scratch) noexcept
{
    scratch.used = 0;
    const void* self = juce::Thread::getCurrentThreadId();

    for (int i = 0; i < numSlots; ++i)
    {
        const void* expected = nullptr;

        if (slots[i].thread.compare_exchange_strong (expected, self))
        {
            slots[i].scratch.store (&scratch, std::memory_order_relaxed);
            slot = i;
            return;
        }
    }
}

FftScratch::Scope::~Scope()
{
    if (slot < 0)
        return;

    slots[slot].scratch.store (nullptr, std::memory_order_relaxed);
    slots[slot].thread.store (nullptr);
}

//==============================================================================
// FFTW takes and returns all its memory through these two functions; the link wraps them
// (--wrap), so the originals are reached as __real_.
extern "C"
{
    void* __real_fftwf_kernel_malloc (size_t bytes);
    void __real_fftwf_kernel_free (void* block);

    void* __wrap_fftwf_kernel_malloc (size_t bytes)
    {
        if (auto* scratch = scratchOfThisThread())
            if (auto* block = scratch->allocate (bytes))
                return block;

        return __real_fftwf_kernel_malloc (bytes);
    }

    void __wrap_fftwf_kernel_free (void* block)
    {
        if (auto* scratch = scratchOfThisThread(); scratch != nullptr && scratch->release (block))
            return;

        __real_fftwf_kernel_free (block);
    }
}
