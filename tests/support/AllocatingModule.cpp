// A module that allocates on purpose, loaded by the allocation counter's own tests: what a
// module the test program loads allocates must be counted, as the plug-in's is. It is linked as
// the plug-in is, with a C++ runtime of its own.

#include <cstdlib>
#include <cstring>
#include <memory>

#ifdef _WIN32
#include <malloc.h>
#include <windows.h>
#define MORVANTA_EXPORT extern "C" __declspec(dllexport)
#else
#define MORVANTA_EXPORT extern "C" __attribute__ ((visibility ("default")))
#endif

namespace
{
// Where each block goes, so that the compiler cannot leave an allocation out.
void* volatile sink = nullptr;

void keep (void* p) { sink = p; }
} // namespace

/** Allocates and frees as plug-in code does, one block at a time: operator new, malloc, calloc,
    realloc, an aligned allocation and, on Windows, the Win32 heap directly. Returns how many
    allocations it made. */
MORVANTA_EXPORT int morvantaAllocateEveryWay()
{
    int made = 0;

    auto object = std::make_unique<double[]> (100);
    keep (object.get());
    ++made;

    void* block = std::malloc (64);
    keep (block);
    block = std::realloc (block, 4096);
    keep (block);
    std::free (block);
    made += 2;

    block = std::calloc (16, 16);
    keep (block);
    std::free (block);
    ++made;

#ifdef _WIN32
    block = _aligned_malloc (256, 64);
    keep (block);
    _aligned_free (block);
    ++made;

    block = HeapAlloc (GetProcessHeap(), 0, 128);
    keep (block);
    HeapFree (GetProcessHeap(), 0, block);
    ++made;
#else
    block = std::aligned_alloc (64, 256);
    keep (block);
    std::free (block);
    ++made;
#endif

    return made;
}

/** Takes `bytes` from the heap and keeps them until morvantaRelease. */
MORVANTA_EXPORT void* morvantaHold (std::size_t bytes)
{
    auto* block = std::malloc (bytes);
    std::memset (block, 1, bytes);
    return block;
}

MORVANTA_EXPORT void morvantaRelease (void* block) { std::free (block); }
