#include "engine/PluginProcessor.h"

#include <cmath>
#include <cstdio>

#include "engine/console/ConsoleLibrary.h"
#include "engine/state/PresetReader.h"
#include "engine/state/StateReader.h"

namespace
{
const juce::Identifier paramType ("PARAM");
constexpr const char* driveModeProperty = "driveMode";
constexpr const char* consoleIndexProperty = "consoleIndex";
constexpr const char* driveCutoffProperty = "driveCutoff";
constexpr const char* oversamplingProperty = "oversampling";
} // namespace

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
    if (savedMode.length() == 1 && GrainMath::isValidMode ((int) savedMode[0] - '0'))
        grain.driveMode.store ((int) savedMode[0] - '0');

    // Handed over after the mode and bound to the mode that will play (a mode parameter that is
    // on wins over the saved mode), so the audio thread cannot give it to another one. Without
    // a cutoff (older states, a malformed one) the mode's own history decides, as it always did.
    grain.restoreCutoff (savedCutoff ? Grain<float>::ModeCutoff{ driveModeHeard(), *savedCutoff } : Grain<float>::noRestore);

    // Applied after the parameters, so its threshold follows the restored Drive. Without an
    // index (older or foreign states) the stage stays as it is.
    if (savedConsole.length() == 1 && ConsoleLibrary::isValidIndex ((int) savedConsole[0] - '0'))
        restoreConsole ((int) savedConsole[0] - '0');

    // A project saved before the choice existed, or with a damaged one, plays without
    // oversampling, as it was heard.
    setOversampling (savedOversampling);

    restoringState.store (false);

    if (auto* messages = juce::MessageManager::getInstanceWithoutCreating(); messages != nullptr && messages->isThisTheMessageThread())
        stateRestored.sendSynchronousChangeMessage();
    else
        stateRestored.sendChangeMessage();
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
