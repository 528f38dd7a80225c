#include "engine/console/ConsoleConvolution.h"

#include "engine/console/ResponseMath.h"

namespace
{
constexpr double makeupRampSeconds = 0.02;
constexpr float hotMakeupDb = 19.0f;
constexpr float normalMakeupDb = 17.0f;
constexpr double thresholdPerDriveDb = -0.7;

// Where the length the convolution reports cannot tell its default engine from ours (rates below
// about 19 kHz, where both are one sample long), the engine is taken to play after this much
// audio: the loader thread wakes every 10 ms and the convolution's own crossfade lasts 50 ms.
constexpr double ownEngineAllowanceSeconds = 0.1;
} // namespace

ConsoleConvolution::ConsoleConvolution() = default;
ConsoleConvolution::~ConsoleConvolution() = default;

void ConsoleConvolution::prepare (const juce::dsp::ProcessSpec& spec)
{
    preparedSpec = spec;
    compressor.prepare (spec);
    fftScratch.prepare (static_cast<int> (spec.maximumBlockSize));

    // A response waiting now (a project restored before the host prepares) reaches the
    // convolution before its preparation, which builds the engine from it at once: the console
    // is right from the first sample, whatever the loader thread's timing. So does the response
    // the convolution plays when the rate changes, worked out afresh for the new rate.
    handOverResponseForRate (spec.sampleRate);
    convolution.prepare (spec);
    ownEngineInUse = responseHandedOver;

    if (! responseHandedOver)
        defaultEngineLength = convolution.getCurrentIRSize();

    makeup.prepare (spec);
    makeup.setRampDurationSeconds (makeupRampSeconds);
    makeupInitialised = false;
    mixInitialised = false;

    fadeLength = Crossfade::lengthInSamples (spec.sampleRate);
    mixCurrent = off.load() ? 0.0f : 1.0f;

    dryCopy.setSize (static_cast<int> (spec.numChannels), static_cast<int> (spec.maximumBlockSize), false, false, false);

    compressor.setAttack (attackMs);
    compressor.setRelease (releaseMs);
    compressor.setRatio (ratio);
    compressor.setThreshold (0.0f);
    appliedThresholdDb = 0.0f;

    compressor.reset();
    convolution.reset();
    makeup.reset();
    makeupInitialised = false;
    mixInitialised = false;
}

void ConsoleConvolution::resetSignalState()
{
    compressor.reset();
    convolution.reset();
}

void ConsoleConvolution::setThreshold (float driveDb)
{
    requestedThresholdDb.store (static_cast<float> (static_cast<double> (driveDb) * thresholdPerDriveDb));
}

void ConsoleConvolution::switchOff()
{
    off.store (true);
}

void ConsoleConvolution::switchOn (bool invertResponse, bool hot, float driveDb)
{
    off.store (false);
    invertIR = invertResponse;
    hotMakeup.store (hot);
    setThreshold (driveDb);
}

void ConsoleConvolution::publishImpulseResponse (juce::AudioBuffer<float> response, float responseSampleRate)
{
    const std::lock_guard<std::mutex> preparation (responseMutex);

    // Worked out here, off the audio thread, which only moves it into the convolution. Before
    // the first preparation there is no rate yet: the preparation works it out then.
    auto engineResponse = rateForResponses > 0.0 ? ResponseMath::forRate (response, responseSampleRate, rateForResponses) : juce::AudioBuffer<float>();

    // Swapping rather than assigning leaves what was there in the locals, freed here after the
    // lock is released: the audio thread's try-lock only ever fails for the span of a few
    // assignments.
    const juce::SpinLock::ScopedLockType lock (irLock);
    pendingIRSampleRate = responseSampleRate;
    std::swap (pendingIR, response);
    pendingEngineRate = rateForResponses;
    std::swap (pendingEngineResponse, engineResponse);
    irPending = true;
    responsePublished = true;
    ownResponsePublished.store (true);
}

void ConsoleConvolution::handOverResponseForRate (double sampleRate)
{
    const std::lock_guard<std::mutex> publication (responseMutex);
    rateForResponses = sampleRate;

    // Nothing else takes irLock now (no chunk runs during a preparation and publications wait
    // for the mutex), so the work may allocate inside it.
    const juce::SpinLock::ScopedLockType lock (irLock);

    if (responsePublished && pendingEngineRate != sampleRate)
    {
        pendingEngineResponse = ResponseMath::forRate (pendingIR, static_cast<double> (pendingIRSampleRate), sampleRate);
        pendingEngineRate = sampleRate;
        irPending = true;
    }

    handOverPendingResponse();
}

void ConsoleConvolution::applyRequestedThreshold()
{
    const float requested = requestedThresholdDb.load();

    if (requested != appliedThresholdDb)
    {
        compressor.setThreshold (requested);
        appliedThresholdDb = requested;
    }
}

void ConsoleConvolution::takePendingImpulseResponse()
{
    if (nonRealtime && preparedSpec.sampleRate > 0.0)
    {
        // Offline, audio passes far faster than the loader thread's timing: build the engine
        // here, so that a bounce hears the response from this chunk on, every time alike. Waiting
        // for the writer's few assignments is fine when nothing plays in real time.
        const juce::SpinLock::ScopedLockType lock (irLock);

        if (handOverPendingResponse())
        {
            convolution.prepare (preparedSpec);
            ownEngineInUse = true;
        }

        return;
    }

    const juce::SpinLock::ScopedTryLockType lock (irLock);

    if (lock.isLocked())
        handOverPendingResponse();
}

bool ConsoleConvolution::handOverPendingResponse()
{
    // A response worked out for no rate, or for another one, waits for the next preparation.
    if (! irPending || pendingEngineRate <= 0.0 || pendingEngineRate != preparedSpec.sampleRate)
        return false;

    lengthRevealsOwnEngine = pendingEngineResponse.getNumSamples() != defaultEngineLength;
    samplesAwaited = 0;

    // Already at the processing rate, trimmed and at its gain: the convolution plays it as it is.
    // Moving the buffer into the convolution's fixed-size command allocates nothing here; the
    // engine is built on the loader thread.
    convolution.loadImpulseResponse (std::move (pendingEngineResponse),
        pendingEngineRate,
        juce::dsp::Convolution::Stereo::yes,
        juce::dsp::Convolution::Trim::no,
        juce::dsp::Convolution::Normalise::no);
    irPending = false;
    responseHandedOver = true;
    return true;
}

bool ConsoleConvolution::awaitsOwnEngine() const noexcept
{
    return ownResponsePublished.load() && ! ownEngineInUse;
}

void ConsoleConvolution::watchForOwnEngine (int numSamples, bool stageIsDry)
{
    if (ownEngineInUse || ! responseHandedOver)
        return;

    if (! lengthRevealsOwnEngine)
        samplesAwaited += numSamples;

    const bool arrived = lengthRevealsOwnEngine
                             ? convolution.getCurrentIRSize() != defaultEngineLength
                             : samplesAwaited >= static_cast<int> (preparedSpec.sampleRate * ownEngineAllowanceSeconds);

    if (! arrived)
        return;

    ownEngineInUse = true;

    // The convolution has only begun its crossfade away from the default engine; nothing of it
    // was heard, so it ends here and the stage fades in on its own engine alone.
    if (stageIsDry)
        convolution.reset();
}

void ConsoleConvolution::runConsole (const Context& context)
{
    compressor.process (context);

    {
        const FftScratch::Scope scratch (fftScratch);
        convolution.process (context);
    }

    makeup.setGainDecibels (hotMakeup.load() ? hotMakeupDb : normalMakeupDb);

    if (! makeupInitialised)
    {
        makeup.reset();
        makeupInitialised = true;
    }

    makeup.process (context);
}

void ConsoleConvolution::warmUpWhileDry (const Context& context)
{
    const auto& block = context.getOutputBlock();
    const auto n = static_cast<int> (block.getNumSamples());
    const auto channels = static_cast<int> (block.getNumChannels());

    mixCurrent = 0.0f;

    // Not possible while chunks respect the prepared block size: without room for the dry input
    // the chunk simply stays as it is.
    if (dryCopy.getNumSamples() < n || dryCopy.getNumChannels() < channels)
        return;

    // The console runs, so its compressor settles and the convolution installs the new engine,
    // but the chunk leaves as it came.
    for (int ch = 0; ch < channels; ++ch)
        dryCopy.copyFrom (ch, 0, block.getChannelPointer (static_cast<size_t> (ch)), n);

    runConsole (context);
    watchForOwnEngine (n, true);

    for (int ch = 0; ch < channels; ++ch)
        juce::FloatVectorOperations::copy (block.getChannelPointer (static_cast<size_t> (ch)), dryCopy.getReadPointer (ch), n);
}

void ConsoleConvolution::process (const Context& context)
{
    applyRequestedThreshold();

    const bool isOff = off.load();
    const float target = isOff ? 0.0f : 1.0f;
    const bool freshlyPrepared = ! mixInitialised;

    if (freshlyPrepared)
    {
        mixCurrent = target;
        mixInitialised = true;
    }

    float m = mixCurrent;

    if (isOff && m == 0.0f)
        return;

    takePendingImpulseResponse();

    if (awaitsOwnEngine() && (m == 0.0f || freshlyPrepared))
    {
        warmUpWhileDry (context);
        return;
    }

    const auto& block = context.getOutputBlock();
    const auto n = static_cast<int> (block.getNumSamples());
    const bool crossfade = m != target && Crossfade::keepDry (block, dryCopy);

    runConsole (context);
    watchForOwnEngine (n, false);

    mixCurrent = crossfade ? Crossfade::blend (block, dryCopy, m, target, fadeLength) : target;
}
