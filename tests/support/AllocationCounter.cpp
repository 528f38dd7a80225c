#include "tests/support/AllocationCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstddef>

// Counting happens at the malloc level, because JUCE's buffers allocate through std::malloc and
// operator new ends there too. Plain builds replace glibc's malloc family in the executable (the
// plug-in modules a test loads call through the same symbols); sanitizer builds, whose runtimes
// own malloc, use the sanitizers' allocation hooks instead.

namespace
{
// Constant-initialised thread_locals: safe to touch from inside malloc, even while a
// thread is starting.
thread_local bool counting = false;
thread_local bool audioThread = false;
thread_local std::int64_t threadAllocations = 0;
std::atomic<std::int64_t> audioAllocations{ 0 };
std::atomic<std::int64_t> liveBytes{ 0 };

void noteAllocation() noexcept
{
    if (counting)
        ++threadAllocations;

    if (audioThread)
        audioAllocations.fetch_add (1, std::memory_order_relaxed);
}
} // namespace

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MORVANTA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define MORVANTA_SANITIZED 1
#endif
#endif

#if MORVANTA_SANITIZED
// From the sanitizers' allocator interface (gcc does not ship its header).
extern "C" int __sanitizer_install_malloc_and_free_hooks (void (*malloc_hook) (const volatile void*, std::size_t),
    void (*free_hook) (const volatile void*));
extern "C" std::size_t __sanitizer_get_allocated_size (const volatile void*);

namespace
{
void onMalloc (const volatile void*, std::size_t size)
{
    noteAllocation();
    liveBytes.fetch_add ((std::int64_t) size, std::memory_order_relaxed);
}

void onFree (const volatile void* p) { liveBytes.fetch_sub ((std::int64_t) __sanitizer_get_allocated_size (p), std::memory_order_relaxed); }

[[maybe_unused]] const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks (onMalloc, onFree);
} // namespace
#else
extern "C"
{
    void* __libc_malloc (std::size_t);
    void* __libc_calloc (std::size_t, std::size_t);
    void* __libc_realloc (void*, std::size_t);
    void* __libc_memalign (std::size_t, std::size_t);
    void __libc_free (void*);

    // What a block takes, as glibc reports it; nothing for a null pointer.
    static void* taken (void* p) noexcept
    {
        liveBytes.fetch_add ((std::int64_t) malloc_usable_size (p), std::memory_order_relaxed);
        return p;
    }

    void* malloc (std::size_t size)
    {
        noteAllocation();
        return taken (__libc_malloc (size));
    }

    void* calloc (std::size_t count, std::size_t size)
    {
        noteAllocation();
        return taken (__libc_calloc (count, size));
    }

    void* realloc (void* p, std::size_t size)
    {
        noteAllocation();
        const auto before = (std::int64_t) malloc_usable_size (p);
        auto* moved = __libc_realloc (p, size);

        // A failed realloc leaves the block where it was.
        if (moved != nullptr || size == 0)
            liveBytes.fetch_sub (before, std::memory_order_relaxed);

        return taken (moved);
    }

    void* memalign (std::size_t alignment, std::size_t size)
    {
        noteAllocation();
        return taken (__libc_memalign (alignment, size));
    }

    void* aligned_alloc (std::size_t alignment, std::size_t size) { return memalign (alignment, size); }

    int posix_memalign (void** result, std::size_t alignment, std::size_t size)
    {
        void* p = memalign (alignment, size);

        if (p == nullptr)
            return 12; // ENOMEM

        *result = p;
        return 0;
    }

    void free (void* p)
    {
        liveBytes.fetch_sub ((std::int64_t) malloc_usable_size (p), std::memory_order_relaxed);
        __libc_free (p);
    }
}
#endif

namespace AllocationCounter
{
Scope::Scope()
    : startCount (threadAllocations)
    , wasCounting (counting)
{
    counting = true;
}

Scope::~Scope() { counting = wasCounting; }

std::int64_t Scope::allocations() const { return threadAllocations - startCount; }

void markCurrentThreadAsAudioThread (bool isAudioThread) { audioThread = isAudioThread; }

std::int64_t audioThreadAllocations() { return audioAllocations.load(); }

std::int64_t bytesInUse() { return liveBytes.load(); }
} // namespace AllocationCounter
