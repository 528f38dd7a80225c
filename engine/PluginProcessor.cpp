#include "engine/PluginProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>

#include "engine/BlockSplitter.h"
#include "engine/ConsoleLibrary.h"
#include "engine/CutoffLimit.h"
#include "engine/ParameterIDs.h"
#include "engine/PresetReader.h"
#include "engine/SignalGuard.h"
#include "engine/StateReader.h"

namespace
{
const juce::Identifier paramType ("PARAM");
constexpr double shelfSmoothingSeconds = 0.5;
constexpr double outputRampSeconds = 0.3;
constexpr float shelfQ = 0.4f;
constexpr float cleanShelfHz = 140.0f;
constexpr float cleanShelfGain = 0.001f; // -60 dB: leaves only the low end of the clean copy
constexpr float brightShelfHz = 7000.0f;
// Shelf gain factor 1 + 0.1 x Brightness (0.1 as a float): 0.1 (-20 dB) at -9, flat at 0, 2.8 at 18.
constexpr float brightGainPerUnit = 0.10000000149011612f;
// Clean-bass gain in dB: 2.5 dB per unit of Clean Bass from -10 dB at 0 (unity at 4, +40 dB at 20).
constexpr double cleanBassDbPerUnit = 2.5;
constexpr double cleanBassCutAtZeroDb = 10.0;
constexpr double gainExponentPerDb = 0.05000000074505806; // 1 / 20 as a float: gain = 10^(dB / 20)
// The filters' design rate until the first preparation gives them the real one.
constexpr double rateBeforePreparation = 44100.0;
constexpr int minWorkChannels = 2; // the work copies have room for stereo even under a mono layout
constexpr float percent = 100.0f; // "Mix" is in percent
constexpr float onThreshold = 0.5f; // boolean parameters: strictly above is on
constexpr const char* driveModeProperty = "driveMode";
constexpr const char* consoleIndexProperty = "consoleIndex";
constexpr const char* driveCutoffProperty = "driveCutoff";
constexpr const char* oversamplingProperty = "oversampling";

// At rates where 7 kHz no longer fits below Nyquist the shelf's poles leave the unit circle
// (even a flat shelf then blows up), so its corner moves down with the rate.
std::array<float, 6> brightShelf (double sampleRate, float gainFactor)
{
    return juce::dsp::IIR::ArrayCoefficients<float>::makeHighShelf (sampleRate, CutoffLimit::belowNyquist (brightShelfHz, sampleRate), shelfQ, gainFactor);
}

juce::ParameterID pid (const char* id) { return { id, ParameterIDs::parameterVersion }; }

std::unique_ptr<juce::AudioParameterFloat> makeFloat (const char* id, const char* name, float start, float end, float interval, float skew, float defaultValue)
{
    return std::make_unique<juce::AudioParameterFloat> (pid (id), name, juce::NormalisableRange<float> (start, end, interval, skew), defaultValue);
}

std::unique_ptr<juce::AudioParameterBool> makeBool (const char* id, const char* name, bool defaultValue)
{
    return std::make_unique<juce::AudioParameterBool> (pid (id), name, defaultValue);
}
} // namespace

//==============================================================================
juce::AudioProcessorValueTreeState::ParameterLayout MorvantaProcessor::createParameterLayout()
{
    using namespace ParameterIDs;
    juce::AudioProcessorValueTreeState::ParameterLayout layout;

    // The skews are the exact single-precision values the knobs were tuned with: Drive puts 10 dB
    // at the middle of its travel, Brightness puts 0 there, Clean Bass about 14.
    layout.add (makeFloat (drive, "Drive", 0.0f, 50.0f, 0.1f, 0.43067654967308044f, 0.0f),
        makeFloat (ParameterIDs::grain, "Grain", 0.0f, 100.0f, 0.1f, 1.0f, 0.0f),
        makeFloat (output, "Output", -20.0f, 20.0f, 0.1f, 1.0f, 0.0f),
        makeFloat (mix, "Mix", 0.0f, 100.0f, 1.0f, 1.0f, 100.0f),
        makeFloat (cleanBass, "Clean Bass", 0.0f, 20.0f, 0.1f, 1.943358063697815f, 0.0f),
        makeFloat (brightness, "Brightness", -9.0f, 18.0f, 0.1f, 0.6309297680854797f, 0.0f),
        makeBool (softButton, "Soft Button", true),
        makeBool (tubeButton, "Tube Button", false),
        makeBool (tapeButton, "Tape Button", false),
        makeBool (fuzzButton, "Fuzz Button", false),
        makeBool (ofConsole, "Of Console", true),
        makeBool (uConsole, "U Console", false),
        makeBool (aConsole, "A Console", false),
        makeBool (sConsole, "S Console", false),
        makeBool (onButton, "on Button", true));

    return layout;
}

MorvantaProcessor::MorvantaProcessor()
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true))
    , parameters (*this, nullptr, "Parameters", createParameterLayout())
    , cleanFilter (juce::dsp::IIR::Coefficients<float>::makeHighShelf (rateBeforePreparation, cleanShelfHz, shelfQ, cleanShelfGain))
    , brightFilter (juce::dsp::IIR::Coefficients<float>::makeHighShelf (rateBeforePreparation, brightShelfHz, shelfQ, 1.0f))
    , driveValue (rawParameter (ParameterIDs::drive))
    , grainValue (rawParameter (ParameterIDs::grain))
    , outputValue (rawParameter (ParameterIDs::output))
    , mixValue (rawParameter (ParameterIDs::mix))
    , cleanBassValue (rawParameter (ParameterIDs::cleanBass))
    , brightnessValue (rawParameter (ParameterIDs::brightness))
    , softValue (rawParameter (ParameterIDs::softButton))
    , tubeValue (rawParameter (ParameterIDs::tubeButton))
    , tapeValue (rawParameter (ParameterIDs::tapeButton))
    , fuzzValue (rawParameter (ParameterIDs::fuzzButton))
    , onValue (rawParameter (ParameterIDs::onButton))
{
}

std::atomic<float>& MorvantaProcessor::rawParameter (const char* id) const
{
    auto* value = parameters.getRawParameterValue (id);
    jassert (value != nullptr);
    return *value;
}

MorvantaProcessor::~MorvantaProcessor() = default;

//==============================================================================
const juce::String MorvantaProcessor::getName() const { return "Morvanta"; }

double MorvantaProcessor::getTailLengthSeconds() const { return 0.0; }
bool MorvantaProcessor::acceptsMidi() const { return false; }
bool MorvantaProcessor::producesMidi() const { return false; }
bool MorvantaProcessor::isMidiEffect() const { return false; }

bool MorvantaProcessor::hasEditor() const { return true; }

int MorvantaProcessor::getNumPrograms() { return 1; }
int MorvantaProcessor::getCurrentProgram() { return 0; }
void MorvantaProcessor::setCurrentProgram (int) {}

const juce::String MorvantaProcessor::getProgramName (int index)
{
    // VST3 hosts list the single program; validators reject a program without a name.
    return index == 0 ? juce::String ("Default") : juce::String();
}

void MorvantaProcessor::changeProgramName (int, const juce::String&) {}

void MorvantaProcessor::parameterChanged (const juce::String&, float) {}

bool MorvantaProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto in = layouts.getMainInputChannelSet();
    const auto out = layouts.getMainOutputChannelSet();

    if (out == juce::AudioChannelSet::mono())
        return in == juce::AudioChannelSet::mono();

    if (out == juce::AudioChannelSet::stereo())
        return in == juce::AudioChannelSet::stereo();

    return false;
}

//==============================================================================
void MorvantaProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto state = parameters.copyState();

    if (auto xml = state.createXml())
    {
        // Disto has no parameter: without this a project saved in Disto would reopen in
        // whatever mode the parameters give.
        xml->setAttribute (driveModeProperty, grain.driveMode.load());
        // The engine never reads the console parameters (and "N" has none): the console heard
        // is the one last handed to the stage.
        xml->setAttribute (consoleIndexProperty, consoleIndex.load());
        // What a mode plays through depends on the modes installed before it (Disto keeps the
        // cutoff it finds), a history that a reopened project does not have.
        xml->setAttribute (driveCutoffProperty, static_cast<double> (grain.cutoffHzOf (driveModeHeard())));
        xml->setAttribute (oversamplingProperty, getOversampling());
        copyXmlToBinary (*xml, destData);
    }
}

void MorvantaProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = StateReader::parse (data, sizeInBytes);

    if (xml == nullptr || ! xml->hasTagName (parameters.state.getType()))
        return;

    const auto savedMode = xml->getStringAttribute (driveModeProperty);
    const auto savedConsole = xml->getStringAttribute (consoleIndexProperty);
    const auto savedCutoff = StateReader::cutoffHz (xml->getStringAttribute (driveCutoffProperty));
    const auto savedOversampling = StateReader::oversamplingFactor (xml->getStringAttribute (oversamplingProperty));
    xml->removeAttribute (driveModeProperty);
    xml->removeAttribute (consoleIndexProperty);
    xml->removeAttribute (driveCutoffProperty);
    xml->removeAttribute (oversamplingProperty);

    const auto restored = juce::ValueTree::fromXml (*xml);

    if (! restored.isValid())
        return;

    restoringState.store (true);
    applyStateTree (restored);

    // Older states have no mode; a malformed one is ignored like the rest of a damaged state.
    if (savedMode.length() == 1 && GrainMath::isValidMode (savedMode[0] - '0'))
        grain.driveMode.store (savedMode[0] - '0');

    // Handed over after the mode and bound to the mode that will play (a mode parameter that is
    // on wins over the saved mode), so the audio thread cannot give it to another one. Without
    // a cutoff (older states, a malformed one) the mode's own history decides, as it always did.
    grain.restoreCutoff (savedCutoff ? Grain<float>::ModeCutoff{ driveModeHeard(), *savedCutoff } : Grain<float>::noRestore);

    // Applied after the parameters, so its threshold follows the restored Drive. Without an
    // index (older or foreign states) the stage stays as it is.
    if (savedConsole.length() == 1 && ConsoleLibrary::isValidIndex (savedConsole[0] - '0'))
        restoreConsole (savedConsole[0] - '0');

    // A project saved before the choice existed, or with a damaged one, plays without
    // oversampling, as it was heard.
    setOversampling (savedOversampling);

    restoringState.store (false);

    if (auto* messages = juce::MessageManager::getInstanceWithoutCreating(); messages != nullptr && messages->isThisTheMessageThread())
        stateRestored.sendSynchronousChangeMessage();
    else
        stateRestored.sendChangeMessage();
}

void MorvantaProcessor::setOversampling (int factor)
{
    if (std::find (oversamplingFactors.begin(), oversamplingFactors.end(), factor) == oversamplingFactors.end())
        return;

    oversamplingChosen.store (factor);
    // Reported at once; the audio thread installs the factor within the next 20 ms.
    setLatencySamples (grain.oversampler.latencyOf (factor));
}

void MorvantaProcessor::restoreConsole (int index)
{
    consoleIndex.store (index);
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    ConsoleLibrary::applyConsole (console, index, driveValue.load(), formats);
}

void MorvantaProcessor::loadPreset (juce::File presetFile)
{
    juce::FileInputStream stream (presetFile);
    auto tree = stream.openedOk() ? readPresetTree (stream, stream.getTotalLength()) : juce::ValueTree();

    // An invalid tree as the state would cut every parameter off from it (and from the saved
    // host state), so a file without a readable tree is refused like one that does not open.
    if (! tree.isValid())
    {
        std::puts ("LOAD PRESET ERROR");
        return;
    }

    applyStateTree (tree);
}

void MorvantaProcessor::applyStateTree (juce::ValueTree tree)
{
    // The framework links a parameter to any child carrying its id but follows later changes
    // only of "PARAM" children, and with several such children it links the last one. A damaged
    // tree could thus half-link a parameter; only the last "PARAM" child of each id is kept.
    for (int i = tree.getNumChildren(); --i >= 0;)
    {
        const auto child = tree.getChild (i);
        const auto id = child["id"].toString();

        if (parameters.getParameter (id) == nullptr)
            continue;

        bool laterParamHasId = false;

        for (int j = i + 1; j < tree.getNumChildren() && ! laterParamHasId; ++j)
            laterParamHasId = tree.getChild (j).hasType (paramType) && tree.getChild (j)["id"].toString() == id;

        if (! child.hasType (paramType) || laterParamHasId)
            tree.removeChild (i, nullptr);
    }

    // A value that is not a number would pass the parameters' range limits and reach the audio;
    // it counts as no value, which sets the parameter's default.
    for (auto child : tree)
        if (child.hasProperty ("value") && std::isnan (static_cast<float> (child["value"])))
            child.removeProperty ("value", nullptr);

    // A parameter that the tree leaves out keeps its value. The framework would give it a child
    // without a "value" when it has not moved since its last write, and the saved host state would
    // then bring it back at its default; a child with the present value avoids that.
    for (auto* parameter : getParameters())
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter))
            if (const auto& id = ranged->getParameterID(); ! tree.getChildWithProperty ("id", id).isValid())
                tree.appendChild (juce::ValueTree (paramType, { { "id", id }, { "value", parameters.getRawParameterValue (id)->load() } }), nullptr);

    // Under the tree's lock the parameters relink to the new children and take their values (or
    // their defaults where a child has no "value").
    parameters.replaceState (tree);
}

//==============================================================================
void MorvantaProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    const auto numOutputs = getTotalNumOutputChannels();
    const auto maxBlock = juce::jmax (0, maximumExpectedSamplesPerBlock);
    spec = { sampleRate, static_cast<juce::uint32> (maxBlock), static_cast<juce::uint32> (numOutputs) };

    // A host that announces blocks of 0 samples still gets one-sample chunks: the stages are
    // sized for at least that, so none of them works on storage it does not have.
    const juce::dsp::ProcessSpec stageSpec{ sampleRate, static_cast<juce::uint32> (juce::jmax (1, maxBlock)), spec.numChannels };

    cleanBassSmoothed.reset (sampleRate, shelfSmoothingSeconds);
    cleanBassSmoothed.setTargetValue (0.0f);
    brightnessSmoothed.reset (sampleRate, shelfSmoothingSeconds);
    brightnessSmoothed.setTargetValue (0.0f);

    mixer.prepare (stageSpec);
    mixer.reset();

    console.prepare (stageSpec);

    cleanFilter.prepare (stageSpec);
    brightFilter.prepare (stageSpec);
    cleanFilter.reset();
    brightFilter.reset();
    *cleanFilter.state = juce::dsp::IIR::ArrayCoefficients<float>::makeHighShelf (sampleRate, cleanShelfHz, shelfQ, cleanShelfGain);
    *brightFilter.state = brightShelf (sampleRate, 1.0f);

    const int factor = oversamplingChosen.load();
    grain.prepare (stageSpec, factor);

    outputGain.prepare (stageSpec);
    outputGain.reset();
    outputGain.setRampDurationSeconds (outputRampSeconds);

    mainInputChannels = getMainBusNumInputChannels();
    totalOutputChannels = numOutputs;

    const int workChannels = juce::jmax (minWorkChannels, totalOutputChannels);
    cleanCopy.setSize (workChannels, juce::jmax (1, maxBlock), false, false, false);
    bypassCopy.setSize (workChannels, maxBlock, false, false, false);

    bypassFadeSamples = Crossfade::lengthInSamples (sampleRate);
    bypassMixInitialised = false;

    int longestLatency = 0;

    for (const auto f : oversamplingFactors)
        longestLatency = juce::jmax (longestLatency, grain.oversampler.latencyOf (f));

    dryDelay.prepare (workChannels, maxBlock, longestLatency);
    dryDelay.setDelay (grain.oversampler.latencyOf (factor));
    delayedInput.setSize (workChannels, juce::jmax (1, maxBlock), false, false, false);
    setLatencySamples (dryDelay.getDelay());

    switchGain = 1.0f;
    switchHoldSamples = 0;
    switchFadeSamples = Crossfade::lengthInSamples (sampleRate);
    playedSincePreparation = false;
}

void MorvantaProcessor::releaseResources() {}

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

//==============================================================================
void MorvantaProcessor::openSpectrumFeed()
{
    // A push raises its flag before it reads the switch, and both are sequentially consistent:
    // once the switch is off and the flag down, every later push skips the feed until the switch
    // is back on, and sees the storage ready when it is. The audio thread never waits for this.
    analyserActive.store (false);

    while (spectrumPushInFlight.load())
        std::this_thread::yield();

    const int size = static_cast<int> (spec.sampleRate);
    analyserFifo.setTotalSize (size);
    analyserBuffer.setSize (1, size, false, false, false);
    analyserFifo.reset();
    analyserBuffer.clear();
    analyserActive.store (true);
}

void MorvantaProcessor::closeSpectrumFeed()
{
    analyserActive.store (false);
}

void MorvantaProcessor::pushToSpectrumFeed (const juce::AudioBuffer<float>& processed)
{
    spectrumPushInFlight.store (true);

    if (analyserActive.load())
        copyToSpectrumFeed (processed);

    spectrumPushInFlight.store (false);
}

void MorvantaProcessor::copyToSpectrumFeed (const juce::AudioBuffer<float>& processed)
{
    const int n = processed.getNumSamples();

    if (analyserFifo.getFreeSpace() < n)
        return;

    int start1 = 0, size1 = 0, start2 = 0, size2 = 0;
    analyserFifo.prepareToWrite (n, start1, size1, start2, size2);

    const int summed = juce::jmin (mainInputChannels, processed.getNumChannels());

    if (summed > 0)
    {
        if (size1 > 0)
            analyserBuffer.copyFrom (0, start1, processed, 0, 0, size1);

        if (size2 > 0)
            analyserBuffer.copyFrom (0, start2, processed, 0, size1, size2);
    }

    for (int ch = 1; ch < summed; ++ch)
    {
        if (size1 > 0)
            analyserBuffer.addFrom (0, start1, processed, ch, 0, size1);

        if (size2 > 0)
            analyserBuffer.addFrom (0, start2, processed, ch, size1, size2);
    }

    analyserFifo.finishedWrite (size1 + size2);
    analyserDataReady.store (true);
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new MorvantaProcessor();
}
