#include "engine/PluginProcessor.h"

#include <algorithm>

#include "engine/ChainSettings.h"
#include "engine/state/ParameterIDs.h"

using namespace ChainSettings;

namespace
{
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

void MorvantaProcessor::setOversampling (int factor)
{
    if (std::find (oversamplingFactors.begin(), oversamplingFactors.end(), factor) == oversamplingFactors.end())
        return;

    oversamplingChosen.store (factor);
    // Reported at once; the audio thread installs the factor within the next 20 ms.
    setLatencySamples (grain.oversampler.latencyOf (factor));
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

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new MorvantaProcessor();
}
