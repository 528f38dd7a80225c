#pragma once

#include <cstdint>

/** Counts heap allocations (malloc, calloc, realloc, aligned allocations and so every operator
    new) per thread. Linking the counter into a test executable also counts what the plug-in
    modules that the test loads allocate: AllocationCounter.cpp replaces the C library's allocator
    on Linux, AllocationCounterWindows.cpp counts the calls every module makes to the Windows
    heap. */
namespace AllocationCounter
{
/** Counts the calling thread's allocations while it is alive. */
class Scope
{
public:
    Scope();
    ~Scope();

    std::int64_t allocations() const;

private:
    std::int64_t startCount;
    bool wasCounting;
};

/** Marks the calling thread as an audio thread for whole-process counting: every allocation
        made by a marked thread is added to audioThreadAllocations(). */
void markCurrentThreadAsAudioThread (bool isAudioThread);
std::int64_t audioThreadAllocations();

/** Bytes of the heap that the whole process holds now: every block allocated and not yet freed
    (as the allocator sizes it), on any thread, the plug-in modules' included. On Windows the
    count starts when the test program starts (blocks the system took before and frees later are
    taken off it): compare two readings, as the tests do. */
std::int64_t bytesInUse();
} // namespace AllocationCounter
