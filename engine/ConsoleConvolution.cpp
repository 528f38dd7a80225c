#include "engine/ConsoleConvolution.h"

namespace
{
constexpr double makeupRampSeconds = 0.02;
constexpr double onOffFadeSeconds = 0.02;
constexpr float hotMakeupDb = 19.0f;
constexpr float normalMakeupDb = 17.0f;
constexpr double thresholdPerDriveDb = -0.7;
} // namespace

ConsoleConvolution::ConsoleConvolution() = default;
ConsoleConvolution::~ConsoleConvolution() = default;

void ConsoleConvolution::prepare (const juce::dsp::ProcessSpec& spec)
{
    compressor.prepare (spec);
    convolution.prepare (spec);
    makeup.prepare (spec);
    makeup.setRampDurationSeconds (makeupRampSeconds);
    makeupInitialised = false;
    mixInitialised = false;

    fadeLength = juce::jmax (1, static_cast<int> (spec.sampleRate * onOffFadeSeconds));
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
    // Swapping rather than assigning leaves a response that was still waiting in `response`,
    // freed here after the lock is released: the audio thread's try-lock only ever fails for
    // the span of three assignments.
    const juce::SpinLock::ScopedLockType lock (irLock);
    pendingIRSampleRate = responseSampleRate;
    std::swap (pendingIR, response);
    irPending = true;
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
    const juce::SpinLock::ScopedTryLockType lock (irLock);

    if (! lock.isLocked() || ! irPending)
        return;

    // Moving the buffer into the convolution's fixed-size command allocates nothing here; the
    // engine is built on the convolution's loader thread.
    convolution.loadImpulseResponse (std::move (pendingIR),
        static_cast<double> (pendingIRSampleRate),
        juce::dsp::Convolution::Stereo::yes,
        juce::dsp::Convolution::Trim::yes,
        juce::dsp::Convolution::Normalise::yes);
    irPending = false;
}

void ConsoleConvolution::process (const Context& context)
{
    applyRequestedThreshold();

    const bool isOff = off.load();
    const float target = isOff ? 0.0f : 1.0f;

    if (! mixInitialised)
    {
        mixCurrent = target;
        mixInitialised = true;
    }

    float m = mixCurrent;

    if (isOff && m == 0.0f)
        return;

    const auto& block = context.getOutputBlock();
    const auto n = static_cast<int> (block.getNumSamples());
    const auto k = juce::jmin (dryCopy.getNumChannels(), static_cast<int> (block.getNumChannels()));
    const bool crossfade = m != target && dryCopy.getNumSamples() >= n;

    if (crossfade)
        for (int ch = 0; ch < k; ++ch)
            dryCopy.copyFrom (ch, 0, block.getChannelPointer (static_cast<size_t> (ch)), n);

    compressor.process (context);
    takePendingImpulseResponse();
    convolution.process (context);

    makeup.setGainDecibels (hotMakeup.load() ? hotMakeupDb : normalMakeupDb);

    if (! makeupInitialised)
    {
        makeup.reset();
        makeupInitialised = true;
    }

    makeup.process (context);

    if (! crossfade)
    {
        mixCurrent = target;
        return;
    }

    const float step = 1.0f / static_cast<float> (fadeLength);

    for (int i = 0; i < n; ++i)
    {
        m = target > m ? juce::jmin (m + step, target) : juce::jmax (m - step, target);

        for (int ch = 0; ch < k; ++ch)
        {
            auto* out = block.getChannelPointer (static_cast<size_t> (ch));
            out[i] = out[i] * m + dryCopy.getSample (ch, i) * (1.0f - m);
        }
    }

    mixCurrent = m;
}
