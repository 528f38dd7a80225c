#pragma once

#include <cstring>
#include <vector>

#include <MorvantaBinaryData.h>
#include <juce_core/juce_core.h>

/** The console impulse responses read straight from the embedded bytes, without the framework's
    audio readers, so tests can check what the decoding hands over. */
namespace ConsoleWav
{
/** Frames of a mono 24-bit PCM RIFF/WAVE file, as floats (a sample divided by 2^23). */
inline std::vector<float> frames (const char* data, int size)
{
    const auto* bytes = reinterpret_cast<const unsigned char*> (data);
    auto le32 = [&] (int at)
    { return (int) (bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | ((unsigned) bytes[at + 3] << 24)); };

    // Walk the chunks after "RIFF" <size> "WAVE" up to the data chunk.
    for (int at = 12; at + 8 <= size;)
    {
        const auto chunkSize = le32 (at + 4);

        if (std::memcmp (bytes + at, "data", 4) == 0)
        {
            std::vector<float> result;

            for (int p = at + 8; p + 3 <= at + 8 + chunkSize && p + 3 <= size; p += 3)
            {
                auto v = bytes[p] | (bytes[p + 1] << 8) | (bytes[p + 2] << 16);

                if (v & 0x800000)
                    v -= 0x1000000;

                result.push_back ((float) v / 8388608.0f);
            }

            return result;
        }

        at += 8 + chunkSize + (chunkSize & 1);
    }

    return {};
}

struct Expected
{
    int index;
    const char* name;
    std::vector<float> wav;
    int firstFrame;
    int length;
    bool negated;
    bool hot;
};

/** What each console hands over: its WAV, the first frame used, the buffer length, the polarity
    and the makeup. */
inline std::vector<Expected> table()
{
    return {
        { 2, "U", frames (MorvantaBinary::consoleU_wav, MorvantaBinary::consoleU_wavSize), 13, 20, true, true },
        { 3, "A", frames (MorvantaBinary::consoleA_wav, MorvantaBinary::consoleA_wavSize), 10, 17, false, false },
        { 4, "S", frames (MorvantaBinary::consoleS_wav, MorvantaBinary::consoleS_wavSize), 10, 17, true, false },
        { 5, "N", frames (MorvantaBinary::consoleN_wav, MorvantaBinary::consoleN_wavSize), 11, 18, false, false },
    };
}

/** The response a console should hand over: 7 frames from the first one, negated where the
    console needs it, then zeros up to the buffer length. */
inline std::vector<float> handedOver (const Expected& e)
{
    std::vector<float> samples ((size_t) e.length, 0.0f);

    for (int i = 0; i < 7; ++i)
        samples[(size_t) i] = (e.negated ? -1.0f : 1.0f) * e.wav[(size_t) (e.firstFrame + i)];

    return samples;
}

inline std::vector<float> samplesOf (const juce::AudioBuffer<float>& b)
{
    if (b.getNumChannels() == 0)
        return {};

    return { b.getReadPointer (0), b.getReadPointer (0) + b.getNumSamples() };
}
} // namespace ConsoleWav
