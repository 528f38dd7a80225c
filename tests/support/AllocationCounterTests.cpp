#include <gtest/gtest.h>

#include <juce_core/juce_core.h>

#include <cstdlib>
#include <memory>
#include <thread>

#include "tests/support/AllocationCounter.h"

// The counter first proves that it counts, since every real-time test relies on its zeros: what
// the test program allocates, and what a module loaded after the program started allocates (the
// plug-in's module is one, with a C++ runtime of its own), on the thread that allocates.

namespace
{
/** tests/support/AllocatingModule.cpp, loaded as a host loads a plug-in's module. */
struct AllocatingModule
{
    AllocatingModule() { library.open (MORVANTA_ALLOCATING_MODULE); }

    template <typename Function>
    Function* find (const char* name)
    {
        return reinterpret_cast<Function*> (library.getFunction (name));
    }

    juce::DynamicLibrary library;
};
} // namespace

TEST (AllocationCounter, CountsWhatTheProgramAndALoadedModuleAllocateOnTheirThread)
{
    {
        const AllocationCounter::Scope scope;
        const auto object = std::make_unique<int[]> (10);
        auto* block = std::malloc (10);
        block = std::realloc (block, 1000);
        std::free (block);
        EXPECT_EQ (scope.allocations(), 3) << "new, malloc and realloc in the test program";
    }

    AllocatingModule module;
    auto* allocateEveryWay = module.find<int()> ("morvantaAllocateEveryWay");
    ASSERT_NE (allocateEveryWay, nullptr) << MORVANTA_ALLOCATING_MODULE;

    {
        const AllocationCounter::Scope scope;
        const auto made = allocateEveryWay();
        EXPECT_EQ (scope.allocations(), made) << "in the loaded module";
    }

    const auto before = AllocationCounter::audioThreadAllocations();
    int made = 0;
    std::thread audio ([&]
        {
            AllocationCounter::markCurrentThreadAsAudioThread (true);
            made = allocateEveryWay();
            AllocationCounter::markCurrentThreadAsAudioThread (false); });
    audio.join();
    EXPECT_EQ (AllocationCounter::audioThreadAllocations() - before, made) << "in the loaded module, on a marked thread";
}

TEST (AllocationCounter, BytesInUseFollowWhatALoadedModuleHolds)
{
    AllocatingModule module;
    auto* hold = module.find<void*(std::size_t)> ("morvantaHold");
    auto* release = module.find<void (void*)> ("morvantaRelease");
    ASSERT_TRUE (hold != nullptr && release != nullptr) << MORVANTA_ALLOCATING_MODULE;

    constexpr std::int64_t held = 1 << 20;
    const auto before = AllocationCounter::bytesInUse();
    auto* block = hold ((std::size_t) held);
    EXPECT_GE (AllocationCounter::bytesInUse() - before, held);
    release (block);
    EXPECT_LT (std::abs (AllocationCounter::bytesInUse() - before), 4096);
}
