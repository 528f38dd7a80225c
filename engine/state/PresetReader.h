#pragma once

#include <juce_data_structures/juce_data_structures.h>

/** Largest preset file that readPresetTree accepts, in bytes. A full parameter state takes well
    under a kilobyte. */
inline constexpr juce::int64 maxPresetFileBytes = 1 << 20;

/**
    Reads one juce::ValueTree in the framework's binary tree stream format (the format that
    juce::ValueTree::writeToStream writes and readFromStream reads) from data that may be damaged
    or hostile, such as a preset file.

    At most `size` bytes are read from `input`. The result is what the framework's reader would
    build from the data, with three differences that keep untrusted data harmless:
    - data over maxPresetFileBytes, data without a root that has at least one complete child
      (empty, text, random bytes), data holding a count or size that no file within the limit
      could hold, and trees or arrays nested deeper than any sane state give an invalid tree;
    - when the data is cut short or damaged after the root's own header (which includes text
      that is not UTF-8), the root keeps exactly the children that are complete before the
      damage (a child cut in its middle is dropped, not half-read);
    - no count in the data ever drives a loop or an allocation beyond the bytes actually present.

    Pure function of the bytes; any thread.
*/
juce::ValueTree readPresetTree (juce::InputStream& input, juce::int64 size);
