#pragma once

#include <optional>

#include <juce_audio_formats/juce_audio_formats.h>

#include "engine/console/ConsoleConvolution.h"

/**
    The consoles the console stage can emulate, and how one is handed to the stage: the same for
    the editor's console buttons and for a host state that brings a console back.

    Console index: 1 "-" (no console), 2 "U", 3 "A", 4 "S", 5 "N". Each console's impulse response
    is 7 frames of its embedded mono WAV (88200 Hz), starting at a fixed frame.
*/
namespace ConsoleLibrary
{
enum Index : int
{
    none = 1,
    u = 2,
    a = 3,
    s = 4,
    n = 5
};

/** Frames of the embedded WAV that make a console's impulse response. */
inline constexpr int responseFrames = 7;

struct Console
{
    const char* wavData;
    int wavSize;
    int firstFrame; // first frame of the WAV that the response uses
    bool negated; // the response is used with its polarity inverted
    bool hotMakeup; // 19 dB makeup instead of 17 dB
};

inline constexpr bool isValidIndex (int index) noexcept { return index >= none && index <= n; }

/** The console of an index; nullptr for "-" and for any index that is not a console. */
const Console* find (int index);

struct ImpulseResponse
{
    juce::AudioBuffer<float> samples;
    float sampleRate = 0.0f; // Hz
};

/** Decodes a console's response through the format manager (which must have WAV registered):
    a buffer of the WAV's channel count and firstFrame + 7 samples whose first 7 samples are
    frames firstFrame to firstFrame + 6 and whose rest is zero; not negated. Nothing when the
    index is no console or no registered format reads the data. A short read leaves the samples
    it could not fill at zero. Message thread (any thread with its own format manager). */
std::optional<ImpulseResponse> decodeConsoleImpulseResponse (int index, juce::AudioFormatManager&);

/** Hands a console to the stage as a console button does. "-" switches the stage off and touches
    nothing else. A console sets the stage's polarity flag, decodes its response, negates it while
    that flag is set and publishes it for the audio thread; then it switches the stage on with the
    console's polarity and makeup and the threshold for a DRIVE of driveDb (dB). If the response
    cannot be decoded the stage keeps the response it has. Any other index changes nothing.
    Message thread. */
void applyConsole (ConsoleConvolution&, int index, float driveDb, juce::AudioFormatManager&);
} // namespace ConsoleLibrary
