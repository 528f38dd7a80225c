#include "engine/PluginProcessor.h"

#include <cmath>
#include <cstdio>

#include "engine/BlockSplitter.h"
#include "engine/ParameterIDs.h"
#include "engine/PresetReader.h"

namespace
{
    constexpr double powerFadeSeconds = 0.02;
    constexpr double shelfSmoothingSeconds = 0.5;
    constexpr double outputRampSeconds = 0.3;
    constexpr float shelfQ = 0.4f;
    constexpr float cleanShelfHz = 140.0f;
    constexpr float cleanShelfGain = 0.001f; // -60 dB: leaves only the low end of the clean copy
    constexpr float brightShelfHz = 7000.0f;

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
        makeFloat (grain, "Grain", 0.0f, 100.0f, 0.1f, 1.0f, 0.0f),
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
    , cleanFilter (juce::dsp::IIR::Coefficients<float>::makeHighShelf (44100.0, cleanShelfHz, shelfQ, cleanShelfGain))
    , brightFilter (juce::dsp::IIR::Coefficients<float>::makeHighShelf (44100.0, brightShelfHz, shelfQ, 1.0f))
{
}

MorvantaProcessor::~MorvantaProcessor() = default;

//==============================================================================
const juce::String MorvantaProcessor::getName() const { return "Morvanta"; }

double MorvantaProcessor::getTailLengthSeconds() const { return 0.0; }
bool MorvantaProcessor::acceptsMidi() const { return false; }
bool MorvantaProcessor::producesMidi() const { return false; }
bool MorvantaProcessor::isMidiEffect() const { return false; }

juce::AudioProcessorEditor* MorvantaProcessor::createEditor() { return nullptr; }
bool MorvantaProcessor::hasEditor() const { return false; }

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
        copyXmlToBinary (*xml, destData);
}

void MorvantaProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = parseSavedState (data, sizeInBytes);

    if (xml == nullptr || ! xml->hasTagName (parameters.state.getType()))
        return;

    const auto restored = juce::ValueTree::fromXml (*xml);

    if (restored.isValid())
        parameters.replaceState (restored);
}

std::unique_ptr<juce::XmlElement> MorvantaProcessor::parseSavedState (const void* data, int sizeInBytes)
{
    // The layout of copyXmlToBinary: a magic number, the text length, then the UTF-8 text. The
    // framework's own reader parses whatever part of the text is present, so a truncated blob
    // would half-apply; here the whole text must be there and parse cleanly.
    constexpr juce::uint32 xmlMagic = 0x21324356;
    constexpr int headerSize = 8;

    if (data == nullptr || sizeInBytes <= headerSize)
        return nullptr;

    const auto* bytes = static_cast<const char*> (data);

    if (juce::ByteOrder::littleEndianInt (bytes) != xmlMagic)
        return nullptr;

    const auto textLength = static_cast<int> (juce::ByteOrder::littleEndianInt (bytes + 4));

    if (textLength <= 0 || textLength > sizeInBytes - headerSize)
        return nullptr;

    juce::XmlDocument document (juce::String::fromUTF8 (bytes + headerSize, textLength));
    auto xml = document.getDocumentElement();

    if (document.getLastParseError().isNotEmpty())
        return nullptr;

    return xml;
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

    // A value that is not a number would pass the parameters' range limits and reach the audio;
    // it counts as no value, which sets the parameter's default.
    for (auto child : tree)
        if (child.hasProperty ("value") && std::isnan (static_cast<float> (child["value"])))
            child.removeProperty ("value", nullptr);

    // A parameter that the file leaves out keeps its value. The framework would give it a child
    // without a "value" when it has not moved since its last write, and the saved host state would
    // then bring it back at its default; a child with the present value avoids that.
    for (auto* parameter : getParameters())
        if (auto* ranged = dynamic_cast<juce::RangedAudioParameter*> (parameter))
            if (const auto& id = ranged->getParameterID(); ! tree.getChildWithProperty ("id", id).isValid())
                tree.appendChild (juce::ValueTree ("PARAM", { { "id", id }, { "value", parameters.getRawParameterValue (id)->load() } }), nullptr);

    // Under the tree's lock the parameters relink to the new children and take their values (or
    // their defaults where a child has no "value").
    parameters.replaceState (tree);
}

//==============================================================================
void MorvantaProcessor::prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock)
{
    const auto numOutputs = getTotalNumOutputChannels();
    spec = { sampleRate, static_cast<juce::uint32> (juce::jmax (0, maximumExpectedSamplesPerBlock)), static_cast<juce::uint32> (numOutputs) };

    cleanBassSmoothed.reset (sampleRate, shelfSmoothingSeconds);
    cleanBassSmoothed.setTargetValue (0.0f);
    brightnessSmoothed.reset (sampleRate, shelfSmoothingSeconds);
    brightnessSmoothed.setTargetValue (0.0f);

    mixer.prepare (spec);
    mixer.reset();

    cleanFilter.prepare (spec);
    brightFilter.prepare (spec);
    cleanFilter.reset();
    brightFilter.reset();
    *cleanFilter.state = juce::dsp::IIR::ArrayCoefficients<float>::makeHighShelf (sampleRate, cleanShelfHz, shelfQ, cleanShelfGain);
    *brightFilter.state = juce::dsp::IIR::ArrayCoefficients<float>::makeHighShelf (sampleRate, brightShelfHz, shelfQ, 1.0f);

    outputGain.prepare (spec);
    outputGain.reset();
    outputGain.setRampDurationSeconds (outputRampSeconds);

    mainInputChannels = getMainBusNumInputChannels();
    totalOutputChannels = numOutputs;

    const int workChannels = juce::jmax (2, totalOutputChannels);
    cleanCopy.setSize (workChannels, maximumExpectedSamplesPerBlock, false, false, false);
    bypassCopy.setSize (workChannels, maximumExpectedSamplesPerBlock, false, false, false);

    bypassFadeSamples = juce::jmax (1, static_cast<int> (sampleRate * powerFadeSeconds));
    bypassMixInitialised = false;
}

void MorvantaProcessor::releaseResources() {}

void MorvantaProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const juce::ScopedNoDenormals noDenormals;

    BlockSplitter::forEachChunk (buffer, BlockSplitter::chunkLimit (spec.maximumBlockSize), [this] (juce::AudioBuffer<float>& chunk) { processChunk (chunk); });
}

void MorvantaProcessor::processChunk (juce::AudioBuffer<float>&)
{
}

//==============================================================================
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new MorvantaProcessor();
}
