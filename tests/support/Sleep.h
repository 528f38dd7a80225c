#pragma once

#include <chrono>
#include <thread>

namespace Sleep
{
/** Sleeps the calling thread for at least `duration`, on every platform: MinGW's
    std::this_thread::sleep_for waits whole milliseconds of the system's sleep, rounded down, so
    that a wait under a millisecond returns at once and a longer one may end early. Whatever
    is left when it returns is slept again (below a millisecond, that spins on the clock). */
inline void atLeast (std::chrono::steady_clock::duration duration)
{
    const auto until = std::chrono::steady_clock::now() + duration;

    for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now())
        std::this_thread::sleep_for (until - now);
}
} // namespace Sleep
