#include "engine/PluginProcessor.h"

#include <cmath>
#include <limits>

#include "engine/ChainSettings.h"
#include "engine/dsp/BlockSplitter.h"
#include "engine/dsp/SignalGuard.h"

using namespace ChainSettings;

void MorvantaProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    processGuarded (buffer, false);
}

void MorvantaProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    processGuarded (buffer, true);
}

void MorvantaProcessor::processGuarded (juce::AudioBuffer<float>& buffer, bool byHost)
{
    const juce::ScopedNoDenormals noDenormals;
    bypassedByHost.store (byHost);

    SignalGuard::replaceNonFinite (buffer);

    BlockSplitter::forEachChunk (buffer, BlockSplitter::chunkLimit (spec.maximumBlockSize), [this] (juce::AudioBuffer<float>& chunk)
        { processChunk (chunk); });

    // Finite input can still overflow (absurd levels through the grain polynomial's eighth
    // power): hand the host silence instead and start the stages afresh.
    if (SignalGuard::replaceNonFinite (buffer))
    {
        buffer.clear();
        resetSignalState();
    }
}

void MorvantaProcessor::resetSignalState()
{
    cleanFilter.reset();
    brightFilter.reset();
    grain.resetSignalState();
    console.resetSignalState();
    mixer.reset();
}

std::optional<int> MorvantaProcessor::driveModeOfParameters() const noexcept
{
    // First one on wins, in this order; with none on the mode stays, which is how Disto (no
    // parameter of its own) stays selected.
    if (softValue.load() > onThreshold)
        return GrainMath::soft;

    if (tubeValue.load() > onThreshold)
        return GrainMath::tube;

    if (tapeValue.load() > onThreshold)
        return GrainMath::tape;

    if (fuzzValue.load() > onThreshold)
        return GrainMath::fuzz;

    return std::nullopt;
}

int MorvantaProcessor::driveModeHeard() const noexcept { return driveModeOfParameters().value_or (grain.driveMode.load()); }

void MorvantaProcessor::selectDriveMode()
{
    // Only a parameter that is on writes: the editor's DISTO button writes the mode too.
    if (const auto mode = driveModeOfParameters())
        grain.driveMode.store (*mode);
}

float MorvantaProcessor::addCleanBass (const juce::dsp::AudioBlock<float>& block, int numChannels)
{
    const int n = static_cast<int> (block.getNumSamples());
    float brightness = brightnessSmoothed.getCurrentValue();
    float lastCleanBass = std::numeric_limits<float>::quiet_NaN();
    float gain = 0.0f;

    for (int i = 0; i < n; ++i)
    {
        const float cleanBass = cleanBassSmoothed.getNextValue();
        brightness = brightnessSmoothed.getNextValue();

        // Recomputed only when the smoother moves.
        if (cleanBass != lastCleanBass)
        {
            gain = static_cast<float> (std::pow (10.0, (cleanBassDbPerUnit * static_cast<double> (cleanBass) - cleanBassCutAtZeroDb) * gainExponentPerDb));
            lastCleanBass = cleanBass;
        }

        for (int ch = 0; ch < numChannels; ++ch)
        {
            auto* out = block.getChannelPointer (static_cast<size_t> (ch));
            out[i] = cleanCopy.getSample (ch, i) * gain + out[i];
        }
    }

    return brightness;
}

void MorvantaProcessor::crossfadePower (juce::AudioBuffer<float>& view, float target)
{
    bypassMix = Crossfade::blend (juce::dsp::AudioBlock<float> (view), bypassCopy, bypassMix, target, bypassFadeSamples);
}

float MorvantaProcessor::followOversampling()
{
    const int chosen = oversamplingChosen.load();

    if (chosen == grain.getOversampling())
        return 1.0f;

    // The new factor changes the latency, so the dry signal jumps in time with the processed
    // one: only silence hides that.
    if (! playedSincePreparation || ! (switchGain > 0.0f))
    {
        grain.setOversampling (chosen);
        dryDelay.setDelay (grain.oversampler.latencyOf (chosen));
        switchHoldSamples = playedSincePreparation ? dryDelay.getDelay() : 0;
        return 1.0f;
    }

    return 0.0f;
}

void MorvantaProcessor::fadeForOversampling (juce::AudioBuffer<float>& view, float target)
{
    if (switchGain == target)
        return;

    if (! playedSincePreparation)
    {
        switchGain = target;
        return;
    }

    const float step = 1.0f / static_cast<float> (switchFadeSamples);

    for (int i = 0; i < view.getNumSamples(); ++i)
    {
        if (switchHoldSamples > 0 && target > switchGain)
            --switchHoldSamples;
        else
            switchGain = target > switchGain ? juce::jmin (switchGain + step, target) : juce::jmax (switchGain - step, target);

        for (int ch = 0; ch < view.getNumChannels(); ++ch)
            view.getWritePointer (ch)[i] *= switchGain;
    }
}

void MorvantaProcessor::processChunk (juce::AudioBuffer<float>& chunk)
{
    // Nothing is sized before the first preparation; the framework never gets here then, but a
    // host that does hears its input unchanged.
    if (spec.sampleRate <= 0.0)
        return;

    const float switchTarget = followOversampling();

    const bool off = onValue.load() < onThreshold;
    effectOff.store (off);

    mixer.setWetMixProportion (juce::jlimit (0.0f, 1.0f, mixValue.load() / percent));
    selectDriveMode();

    cleanBassSmoothed.setTargetValue (cleanBassValue.load());
    brightnessSmoothed.setTargetValue (brightnessValue.load());

    const int n = chunk.getNumSamples();
    const int numChannels = juce::jmin (totalOutputChannels, chunk.getNumChannels());
    juce::AudioBuffer<float> view (chunk.getArrayOfWritePointers(), numChannels, n);
    juce::dsp::AudioBlock<float> block (view);
    const juce::dsp::ProcessContextReplacing<float> context (block);

    // Every dry copy comes from the input as late as the drive stage makes the processed signal.
    dryDelay.process (view, delayedInput, numChannels, n);
    const bool delayed = dryDelay.getDelay() > 0;
    juce::AudioBuffer<float> dry (delayed ? delayedInput.getArrayOfWritePointers() : view.getArrayOfWritePointers(), numChannels, n);
    const juce::dsp::AudioBlock<float> dryBlock (dry);

    cleanCopy.setSize (numChannels, n, false, false, true);

    for (int ch = 0; ch < numChannels; ++ch)
        cleanCopy.copyFrom (ch, 0, dry, ch, 0, n);

    juce::dsp::AudioBlock<float> cleanBlock (cleanCopy);
    const juce::dsp::ProcessContextReplacing<float> cleanContext (cleanBlock);

    const float powerTarget = off || bypassedByHost.load() ? 0.0f : 1.0f;

    if (! bypassMixInitialised)
    {
        bypassMix = powerTarget;
        bypassMixInitialised = true;
    }

    const bool fading = bypassMix != powerTarget && Crossfade::keepDry (dryBlock, bypassCopy);

    if (! (bypassMix > 0.0f) && powerTarget == 0.0f)
    {
        bypassMix = powerTarget;
        chainIdledByHost = chainIdledByHost || bypassedByHost.load();

        if (delayed)
            block.copyFrom (dryBlock);

        fadeForOversampling (view, switchTarget);
        playedSincePreparation = true;
        return;
    }

    // Allocation-free; the fade in that starts here covers the chain's start from silence.
    if (chainIdledByHost)
    {
        resetSignalState();
        chainIdledByHost = false;
    }

    mixer.pushDrySamples (dryBlock);
    cleanFilter.process (cleanContext);

    const float drive = driveValue.load();
    grain.process (context, drive, grainValue.load());

    brightFilter.process (context);

    console.setThreshold (drive);
    console.setNonRealtime (isNonRealtime());
    console.process (context);

    const float brightness = addCleanBass (block, numChannels);

    // Copied into the filter's existing coefficients: the next chunk hears it, nothing allocates.
    const auto brightGain = brightness * brightGainPerUnit + 1.0f;
    *brightFilter.state = brightShelf (spec.sampleRate, brightGain);

    outputGain.setGainDecibels (outputValue.load());
    outputGain.process (context);

    mixer.mixWetSamples (block);

    pushToSpectrumFeed (view);

    if (fading)
        crossfadePower (view, powerTarget);
    else
        bypassMix = powerTarget;

    fadeForOversampling (view, switchTarget);
    playedSincePreparation = true;
}
