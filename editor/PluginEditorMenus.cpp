#include "editor/PluginEditor.h"

#include "editor/Palette.h"
#include "engine/PluginProcessor.h"

namespace
{
// Menu item heights follow the window: 24 pixels in a 350-pixel-high editor.
constexpr double menuItemHeightPerWindowHeight = 0.07;

// How the oversampling button and its menu show a factor: "1x" to "8x".
juce::String oversamplingText (int factor)
{
    return juce::String (factor) + "x";
}

struct CompareNamesIgnoringCase
{
    static int compareElements (const juce::File& a, const juce::File& b) { return a.getFullPathName().compareIgnoreCase (b.getFullPathName()); }
};
} // namespace

juce::String MorvantaProcessorEditor::shownName (const juce::File& preset)
{
    return preset.getFileNameWithoutExtension().substring (2);
}

void MorvantaProcessorEditor::loadPresetFiles()
{
    presetFiles.clear();

    for (const auto& entry : juce::RangedDirectoryIterator (presetFolder, false, "*.mrv", juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles))
        presetFiles.add (entry.getFile());

    // juce::File's own order follows the file system's case rule, which on Linux is case-sensitive.
    if (presetFiles.size() >= 2)
    {
        CompareNamesIgnoringCase byName;
        presetFiles.sort (byName);
    }
}

void MorvantaProcessorEditor::stepPreset (int step)
{
    const auto n = presetFiles.size();

    if (n == 0)
        return;

    auto c = currentPreset + step;

    if (c < 1)
        c = n;

    if (c > n)
        c = 1;

    currentPreset = c;
    processorRef.loadPreset (presetFiles[c - 1]);
    presetsButton.setButtonText (shownName (presetFiles[c - 1]));
}

std::array<juce::PopupMenu*, 6> MorvantaProcessorEditor::categoryMenus()
{
    return { &masteringMenu, &vocalMenu, &drumMenu, &guitarMenu, &bassMenu, &synthMenu };
}

void MorvantaProcessorEditor::clearPresetMenus()
{
    presetMenu.clear();

    for (auto* menu : categoryMenus())
        menu->clear();
}

void MorvantaProcessorEditor::showPresetMenu()
{
    // A click that turns the toggle off, or one that did not come from the pointer, opens nothing.
    if (! presetsButton.isMouseOverOrDragging() || ! presetsButton.getToggleState())
    {
        clearPresetMenus();
        return;
    }

    const auto H = getHeight();
    loadPresetFiles();
    const auto listed = presetFiles;

    presetMenu.addSectionHeader ("FACTORY");

    const auto categories = categoryMenus();
    const char* const prefixes[] = { "0", "1", "2", "3", "4", "5" };

    // Item IDs are 1-based list positions, so entries in no category leave gaps.
    for (int i = 0; i < presetFiles.size(); ++i)
    {
        const auto name = presetFiles[i].getFileNameWithoutExtension();

        for (int category = 0; category < 6; ++category)
        {
            if (name.startsWith (prefixes[category]))
            {
                categories[(size_t) category]->addItem (i + 1, shownName (presetFiles[i]), true, false);
                break;
            }
        }
    }

    const char* const titles[] = { "Mastering", "Vocal", "Drum", "Guitar", "Bass", "Synth" };

    for (int category = 0; category < 6; ++category)
        presetMenu.addSubMenu (titles[category], *categories[(size_t) category], true);

    presetMenu.addSectionHeader (juce::String ("Version: ") + JucePlugin_VersionString);

    // The menu hangs below a stand-in for the PRESETS button; it keeps the screen area it was
    // given after the stand-in goes.
    juce::TextButton target;
    addAndMakeVisible (target);
    target.setBounds (presetsButton.getBounds());

    const auto options = juce::PopupMenu::Options()
                             .withTargetComponent (&target)
                             .withMinimumWidth (presetsButton.getWidth())
                             .withMinimumNumColumns (1)
                             .withStandardItemHeight ((int) (H * menuItemHeightPerWindowHeight));

    presetMenu.showMenuAsync (options,
        juce::ModalCallbackFunction::create ([this, safe = juce::Component::SafePointer<MorvantaProcessorEditor> (this), listed] (int result)
            {
                if (safe != nullptr)
                    presetMenuClosed (result, listed); }));
}

void MorvantaProcessorEditor::presetMenuClosed (int result, const juce::Array<juce::File>& listed)
{
    clearPresetMenus();
    presetsButton.setToggleState (false, juce::dontSendNotification);

    if (result <= 0)
        return;

    currentPreset = result;
    processorRef.loadPreset (listed[result - 1]);
    // The list may have been rescanned since the menu opened; a vanished entry shows no name.
    presetsButton.setButtonText (juce::isPositiveAndBelow (currentPreset - 1, presetFiles.size()) ? shownName (presetFiles[currentPreset - 1]) : juce::String());
}

void MorvantaProcessorEditor::showOversamplingMenu()
{
    juce::PopupMenu menu;
    const auto current = processorRef.getOversampling();

    // The look draws no ticks: the current factor shows in the colour of a lit button, and its
    // tick tells screen readers. Item IDs are the factors themselves, none of them 0.
    for (const auto factor : MorvantaProcessor::oversamplingFactors)
        menu.addItem (juce::PopupMenu::Item (oversamplingText (factor))
                          .setID (factor)
                          .setTicked (factor == current)
                          .setColour (factor == current ? orangeQuelm : juce::Colour()));

    // Hung on the button itself, so that clicking it again while the menu is open only closes it.
    const auto options = juce::PopupMenu::Options()
                             .withTargetComponent (&oversamplingButton)
                             .withMinimumWidth (oversamplingButton.getWidth())
                             .withStandardItemHeight ((int) (getHeight() * menuItemHeightPerWindowHeight));

    menu.showMenuAsync (options,
        [safe = juce::Component::SafePointer<MorvantaProcessorEditor> (this)] (int factor)
        {
            // 0 when dismissed; choosing the current factor again changes nothing.
            if (safe == nullptr || factor == 0 || factor == safe->processorRef.getOversampling())
                return;

            safe->processorRef.setOversampling (factor);
            safe->showOversampling();
        });
}

void MorvantaProcessorEditor::showOversampling()
{
    const auto text = oversamplingText (processorRef.getOversampling());
    oversamplingButton.setButtonText (text);
    oversamplingButton.setDescription (text);
}
