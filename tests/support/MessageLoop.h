#pragma once

#include <juce_events/juce_events.h>

namespace MessageLoop
{
/** Lets the message loop deliver what is pending (async updates, modal callbacks, window
    events) for `milliseconds`. */
inline void pump (int milliseconds = 20)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}
} // namespace MessageLoop
