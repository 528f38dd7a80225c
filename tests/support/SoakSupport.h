#pragma once

#include <atomic>
#include <cmath>
#include <functional>
#include <thread>

/** The soak tests' output bound, and a thread that plays the host's audio thread for any test. */
namespace SoakSupport
{
// The deepest designed gain is the clean low end (+40 dB) at full output (+20 dB); the
// saturated path is bounded by the wave functions whatever the input. Anything beyond this
// is a runaway, not a setting.
constexpr float designedGain = 1000.0f;
constexpr float saturatedHeadroom = 1000.0f;

/** True when an output sample is finite and within the bound for the block's input peak. */
inline bool withinBound (float output, float inputPeak) noexcept
{
    return std::isfinite (output) && std::abs (output) <= designedGain * inputPeak + saturatedHeadroom;
}

/** Runs `loop` on its own thread, which calls it while running() is true; stop() joins. */
class AudioThread
{
public:
    virtual ~AudioThread() { stop(); }

    void start()
    {
        thread = std::thread ([this]
            { run(); });
    }

    void stop()
    {
        running = false;

        if (thread.joinable())
            thread.join();
    }

    std::atomic<bool> running{ true };
    std::atomic<bool> failed{ false };

protected:
    /** The thread's whole life; subclasses loop while running and not failed. */
    virtual void run() = 0;

private:
    std::thread thread;
};
} // namespace SoakSupport
