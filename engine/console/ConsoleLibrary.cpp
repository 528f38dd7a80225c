#include "engine/console/ConsoleLibrary.h"

#include <MorvantaBinaryData.h>

namespace ConsoleLibrary
{
const Console* find (int index)
{
    // Each file opens with a short onset; the seven frames used start a few frames in.
    static const Console consoles[] = {
        { MorvantaBinary::consoleU_wav, MorvantaBinary::consoleU_wavSize, 13, true, true },
        { MorvantaBinary::consoleA_wav, MorvantaBinary::consoleA_wavSize, 10, false, false },
        { MorvantaBinary::consoleS_wav, MorvantaBinary::consoleS_wavSize, 10, true, false },
        { MorvantaBinary::consoleN_wav, MorvantaBinary::consoleN_wavSize, 11, false, false },
    };

    if (index < u || index > n)
        return nullptr;

    return &consoles[index - u];
}

std::optional<ImpulseResponse> decodeConsoleImpulseResponse (int index, juce::AudioFormatManager& formats)
{
    const auto* console = find (index);

    if (console == nullptr)
        return std::nullopt;

    // The stream keeps its own copy of the bytes; the reader owns the stream.
    auto stream = std::make_unique<juce::MemoryInputStream> (console->wavData, (size_t) console->wavSize, true);
    const std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (std::move (stream)));

    if (reader == nullptr)
        return std::nullopt;

    ImpulseResponse response;
    response.samples.setSize ((int) reader->numChannels, console->firstFrame + responseFrames);
    response.samples.clear();
    // A failed or short read leaves zeros where nothing arrived; the response is used as it is.
    reader->read (response.samples.getArrayOfWritePointers(), response.samples.getNumChannels(), console->firstFrame, responseFrames);
    response.sampleRate = (float) reader->sampleRate;
    return response;
}

void applyConsole (ConsoleConvolution& stage, int index, float driveDb, juce::AudioFormatManager& formats)
{
    if (index == none)
    {
        stage.switchOff();
        return;
    }

    const auto* console = find (index);

    if (console == nullptr)
        return;

    // The response goes out before the stage is switched on, so that a stage hearing its first
    // console waits for that console's engine instead of starting through the convolution's default.
    stage.invertIR = console->negated;

    if (auto response = decodeConsoleImpulseResponse (index, formats))
    {
        if (stage.invertIR)
            response->samples.applyGain (-1.0f);

        stage.publishImpulseResponse (std::move (response->samples), response->sampleRate);
    }

    stage.switchOn (console->negated, console->hotMakeup, driveDb);
}
} // namespace ConsoleLibrary
