#pragma once

#include <cstdint>

/** Counts heap allocations (malloc, calloc, realloc, aligned allocations and so every operator
    new) per thread. Linking AllocationCounter.cpp into a test executable also counts what the
    plug-in modules that the test loads allocate. */
namespace AllocationCounter
{
/** Whether this build counts at all. The Windows build does not yet: there the C runtime's
    allocator lives in msvcrt.dll, shared with the modules a test loads, and an executable cannot
    replace it by linking. Every other function here aborts in that build, so that no test passes
    on counts never taken. */
bool available();

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
    (as the allocator sizes it), on any thread, the plug-in modules' included. */
std::int64_t bytesInUse();
} // namespace AllocationCounter
