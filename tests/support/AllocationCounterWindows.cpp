#include "tests/support/AllocationCounter.h"

#include <windows.h>

#include <tlhelp32.h>
#include <winternl.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <utility>

// Windows has no malloc an executable could replace: every module calls the C runtime's DLL (or
// carries a runtime of its own, as the plug-in's module may) through its import table. Whatever
// the runtime, every heap allocation ends in the process's heap functions, RtlAllocateHeap and
// its siblings, which the runtimes, LocalAlloc, CoTaskMemAlloc and the rest call through their
// own import tables. So the counter points those import table entries, in every module loaded
// now and in every module the loader maps later (before its initialisation runs), at counting
// functions that call the real ones: one count per heap call, on the thread that makes it.
// Memory the loader itself takes inside ntdll is not seen, nor Wine's Unix side: neither runs
// plug-in code.

namespace
{
// Per-thread state lives in Windows' own thread-local slots, read straight from the thread's
// environment block: the compiler's thread_local allocates on a thread's first use, from inside
// the very calls counted here.
enum Slot
{
    countingSlot, // nonzero while a Scope is alive on the thread
    audioSlot, // nonzero on a thread marked as an audio thread
    countSlot, // the thread's allocations while counting
    depthSlot, // counted calls under way on the thread: a heap function that calls another counts once
    slotCount
};

std::array<DWORD, slotCount> slots{};
std::atomic<std::int64_t> audioAllocations{ 0 };
std::atomic<std::int64_t> liveBytes{ 0 };

std::uintptr_t& slot (Slot s)
{
    return reinterpret_cast<std::uintptr_t&> (reinterpret_cast<TEB*> (NtCurrentTeb())->TlsSlots[slots[s]]);
}

/** Marks one counted call on this thread; only the outermost one counts. */
class Nesting
{
public:
    Nesting() noexcept
        : outer (slot (depthSlot)++ == 0)
    {
    }

    ~Nesting() { --slot (depthSlot); }

    bool outermost() const noexcept { return outer; }

private:
    const bool outer;
};

void noteAllocation() noexcept
{
    if (slot (countingSlot) != 0)
        ++slot (countSlot);

    if (slot (audioSlot) != 0)
        audioAllocations.fetch_add (1, std::memory_order_relaxed);
}

// What a block takes, as the heap reports it; nothing for a null or foreign pointer.
std::int64_t sizeOf (HANDLE heap, const void* p) noexcept
{
    if (p == nullptr)
        return 0;

    const auto size = HeapSize (heap, 0, p);
    return size == (SIZE_T) -1 ? 0 : (std::int64_t) size;
}

enum class Family
{
    allocate,
    reallocate,
    release
};

struct Target
{
    const wchar_t* module;
    const char* name;
    Family family;
};

// kernel32's and kernelbase's functions forward to ntdll's where the system does so (they then
// resolve to one address, counted once); where one is a function of its own, it is counted too.
constexpr Target targets[] = {
    { L"ntdll.dll", "RtlAllocateHeap", Family::allocate },
    { L"ntdll.dll", "RtlReAllocateHeap", Family::reallocate },
    { L"ntdll.dll", "RtlFreeHeap", Family::release },
    { L"kernelbase.dll", "HeapAlloc", Family::allocate },
    { L"kernelbase.dll", "HeapReAlloc", Family::reallocate },
    { L"kernelbase.dll", "HeapFree", Family::release },
    { L"kernel32.dll", "HeapAlloc", Family::allocate },
    { L"kernel32.dll", "HeapReAlloc", Family::reallocate },
    { L"kernel32.dll", "HeapFree", Family::release },
};
constexpr auto targetCount = std::size (targets);

// The real functions, by target; null for a target that resolves where an earlier one does.
std::array<void*, targetCount> originals{};

using AllocateFunction = void*(WINAPI*) (HANDLE, DWORD, SIZE_T);
using ReallocateFunction = void*(WINAPI*) (HANDLE, DWORD, void*, SIZE_T);
// HeapFree returns a BOOL and RtlFreeHeap a BOOLEAN: the whole register is handed back as it came.
using ReleaseFunction = ULONG_PTR (WINAPI*) (HANDLE, DWORD, void*);

template <std::size_t target>
void* WINAPI allocate (HANDLE heap, DWORD flags, SIZE_T size)
{
    const Nesting nesting;
    auto* block = reinterpret_cast<AllocateFunction> (originals[target]) (heap, flags, size);

    if (nesting.outermost())
    {
        noteAllocation();
        liveBytes.fetch_add (sizeOf (heap, block), std::memory_order_relaxed);
    }

    return block;
}

template <std::size_t target>
void* WINAPI reallocate (HANDLE heap, DWORD flags, void* p, SIZE_T size)
{
    const Nesting nesting;
    const auto before = nesting.outermost() ? sizeOf (heap, p) : 0;
    auto* block = reinterpret_cast<ReallocateFunction> (originals[target]) (heap, flags, p, size);

    if (nesting.outermost())
    {
        noteAllocation();

        // A failed reallocation leaves the block as it was.
        if (block != nullptr)
            liveBytes.fetch_add (sizeOf (heap, block) - before, std::memory_order_relaxed);
    }

    return block;
}

template <std::size_t target>
ULONG_PTR WINAPI release (HANDLE heap, DWORD flags, void* p)
{
    const Nesting nesting;
    const auto size = nesting.outermost() ? sizeOf (heap, p) : 0;
    const auto result = reinterpret_cast<ReleaseFunction> (originals[target]) (heap, flags, p);

    // TRUE in the low byte, whether BOOL or BOOLEAN.
    if ((result & 0xff) != 0)
        liveBytes.fetch_sub (size, std::memory_order_relaxed);

    return result;
}

template <std::size_t target>
constexpr void* counting()
{
    if constexpr (targets[target].family == Family::allocate)
        return reinterpret_cast<void*> (&allocate<target>);
    else if constexpr (targets[target].family == Family::reallocate)
        return reinterpret_cast<void*> (&reallocate<target>);
    else
        return reinterpret_cast<void*> (&release<target>);
}

template <std::size_t... target>
std::array<void*, targetCount> countingFunctions (std::index_sequence<target...>)
{
    return { counting<target>()... };
}

const std::array<void*, targetCount> replacements = countingFunctions (std::make_index_sequence<targetCount>());

/** Points every import of a target in the module's import table at its counting function. */
void countCallsFrom (HMODULE module)
{
    auto* base = reinterpret_cast<std::uint8_t*> (module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*> (base);

    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return;

    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*> (base + dos->e_lfanew);

    if (nt->Signature != IMAGE_NT_SIGNATURE || nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC)
        return;

    const auto& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];

    if (imports.VirtualAddress == 0 || imports.Size == 0)
        return;

    for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*> (base + imports.VirtualAddress); library->Name != 0; ++library)
    {
        for (auto* entry = reinterpret_cast<void**> (base + library->FirstThunk); *entry != nullptr; ++entry)
        {
            for (std::size_t t = 0; t < targetCount; ++t)
            {
                if (originals[t] == nullptr || *entry != originals[t])
                    continue;

                // The table may lie in read-only data once the loader has filled it.
                DWORD protection = 0;

                if (VirtualProtect (entry, sizeof (void*), PAGE_READWRITE, &protection))
                {
                    *entry = replacements[t];
                    VirtualProtect (entry, sizeof (void*), protection, &protection);
                }

                break;
            }
        }
    }
}

// The loader's notification of a module it maps, sent after it has filled the module's import
// table and before the module's own initialisation runs (ntdll's LdrRegisterDllNotification, which
// Windows has had since Vista and Wine implements).
struct DllNotification
{
    ULONG flags;
    const UNICODE_STRING* fullName;
    const UNICODE_STRING* baseName;
    void* base;
    ULONG size;
};

constexpr ULONG moduleLoaded = 1;
using DllNotificationFunction = void (NTAPI*) (ULONG reason, const DllNotification* data, void* context);
using RegisterFunction = LONG (NTAPI*) (ULONG flags, DllNotificationFunction, void* context, void** cookie);

void NTAPI onModuleLoaded (ULONG reason, const DllNotification* data, void*)
{
    if (reason == moduleLoaded && data != nullptr)
        countCallsFrom (static_cast<HMODULE> (data->base));
}

[[noreturn]] void fail (const char* why)
{
    std::fprintf (stderr, "AllocationCounter: %s\n", why);
    std::abort();
}

bool install()
{
    for (auto& s : slots)
        if ((s = TlsAlloc()) == TLS_OUT_OF_INDEXES || s >= 64)
            fail ("no thread-local slot of the thread's own block is free");

    for (std::size_t t = 0; t < targetCount; ++t)
    {
        if (const auto module = GetModuleHandleW (targets[t].module); module != nullptr)
            originals[t] = reinterpret_cast<void*> (GetProcAddress (module, targets[t].name));

        for (std::size_t earlier = 0; earlier < t && originals[t] != nullptr; ++earlier)
            if (originals[earlier] == originals[t])
                originals[t] = nullptr;
    }

    if (originals[0] == nullptr)
        fail ("ntdll's heap functions were not found");

    // Modules mapped from here on, then every module already there (a module mapped in between
    // is merely visited twice: its entries already point here).
    const auto registerNotification = reinterpret_cast<RegisterFunction> (GetProcAddress (GetModuleHandleW (L"ntdll.dll"), "LdrRegisterDllNotification"));
    void* cookie = nullptr;

    if (registerNotification == nullptr || registerNotification (0, onModuleLoaded, nullptr, &cookie) != 0)
        fail ("the loader does not report the modules it loads");

    const auto snapshot = CreateToolhelp32Snapshot (TH32CS_SNAPMODULE, 0);

    if (snapshot == INVALID_HANDLE_VALUE)
        fail ("the loaded modules could not be listed");

    MODULEENTRY32W module{};
    module.dwSize = sizeof (module);

    for (auto more = Module32FirstW (snapshot, &module); more; more = Module32NextW (snapshot, &module))
        countCallsFrom (module.hModule);

    CloseHandle (snapshot);
    return true;
}

[[maybe_unused]] const bool installed = install();
} // namespace

namespace AllocationCounter
{
Scope::Scope()
    : startCount ((std::int64_t) slot (countSlot))
    , wasCounting (slot (countingSlot) != 0)
{
    slot (countingSlot) = 1;
}

Scope::~Scope() { slot (countingSlot) = wasCounting ? 1 : 0; }

std::int64_t Scope::allocations() const { return (std::int64_t) slot (countSlot) - startCount; }

void markCurrentThreadAsAudioThread (bool isAudioThread) { slot (audioSlot) = isAudioThread ? 1 : 0; }

std::int64_t audioThreadAllocations() { return audioAllocations.load(); }

std::int64_t bytesInUse() { return liveBytes.load(); }
} // namespace AllocationCounter
