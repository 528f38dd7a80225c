#include "editor/PluginEditor.h"

#include <MorvantaBinaryData.h>

#include "editor/BundleLocation.h"
#include "editor/Palette.h"
#include "engine/ConsoleLibrary.h"
#include "engine/GrainMath.h"
#include "engine/ParameterIDs.h"
#include "engine/PluginProcessor.h"

namespace
{
constexpr int driveModeGroup = 1;
constexpr int consoleGroup = 2;

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

MorvantaProcessorEditor::MorvantaProcessorEditor (MorvantaProcessor& p, juce::AudioProcessorValueTreeState& vts)
    : juce::AudioProcessorEditor (p)
    , processorRef (p)
    , presetFolder (BundleLocation::presetFolder())
    , analyser (p)
{
    setLookAndFeel (&look);
    panelTexture = juce::ImageCache::getFromMemory (MorvantaBinary::texture_jpg, MorvantaBinary::texture_jpgSize);
    formatManager.registerBasicFormats();

    createButtons();
    attachButtons (vts);
    createKnobs (vts);
    titleImage = juce::ImageCache::getFromMemory (MorvantaBinary::title_png, MorvantaBinary::title_pngSize);
    createConsoleCaption();
    showWhatPlays (vts);
    // After every control has its value, so that opening the editor runs no handler.
    assignHandlers();

    setOpaque (true);
    setWantsKeyboardFocus (true);
    setPaintingIsUnclipped (true);

    addAndMakeVisible (frame);
    frame.addAndMakeVisible (analyser);

    sizeWindow();
    processorRef.stateRestored.addChangeListener (this);
    processorRef.openSpectrumFeed();
    repaint();
}

MorvantaProcessorEditor::~MorvantaProcessorEditor()
{
    processorRef.stateRestored.removeChangeListener (this);
    juce::PopupMenu::dismissAllActiveMenus();
    stopTimer();
    // The power button is declared after its attachment and would go first otherwise.
    powerAttachment.reset();
    setLookAndFeel (nullptr);
    processorRef.closeSpectrumFeed();
}

//==============================================================================
void MorvantaProcessorEditor::createButtons()
{
    softButton.setButtonText ("SOFT");
    tubeButton.setButtonText ("TUBE");
    tapeButton.setButtonText ("TAPE");
    distoButton.setButtonText ("DISTO");
    fuzzButton.setButtonText ("FUZZ");
    offConsoleButton.setButtonText ("-");
    uConsoleButton.setButtonText ("U");
    aConsoleButton.setButtonText ("A");
    sConsoleButton.setButtonText ("S");
    nConsoleButton.setButtonText ("N");
    presetsButton.setButtonText ("PRESETS");
    previousPresetButton.setButtonText ("<");
    nextPresetButton.setButtonText (">");
    // Its text is only the factor; screen readers get the name of the setting as well.
    oversamplingButton.setTitle ("Oversampling");

    for (auto* b : { &presetsButton, &previousPresetButton, &nextPresetButton })
    {
        b->setColour (juce::TextButton::textColourOffId, blackUltraQuelm);
        b->setColour (juce::TextButton::textColourOnId, greyWhiteQuelm);
    }

    // No hover image: the normal picture also serves while the pointer is over the button, and
    // the whole button area takes clicks.
    const auto powerImage = juce::ImageCache::getFromMemory (MorvantaBinary::power_png, MorvantaBinary::power_pngSize);
    const auto powerOnImage = juce::ImageCache::getFromMemory (MorvantaBinary::powerOn_png, MorvantaBinary::powerOn_pngSize);
    powerButton.setImages (false, true, true, powerImage, 1.0f, juce::Colours::transparentBlack, juce::Image(), 1.0f, juce::Colours::transparentBlack, powerOnImage, 1.0f, juce::Colours::transparentBlack, 0.0f);

    for (auto* b : std::initializer_list<juce::Button*>{ &softButton, &tubeButton, &tapeButton, &distoButton, &fuzzButton, &offConsoleButton, &uConsoleButton, &aConsoleButton, &sConsoleButton, &nConsoleButton, &powerButton, &presetsButton, &previousPresetButton, &nextPresetButton, &oversamplingButton })
        addAndMakeVisible (b);

    for (auto* b : std::initializer_list<juce::Button*>{ &softButton, &tubeButton, &tapeButton, &distoButton, &fuzzButton, &offConsoleButton, &uConsoleButton, &aConsoleButton, &sConsoleButton, &nConsoleButton, &powerButton, &presetsButton })
        b->setClickingTogglesState (true);

    for (auto* b : { &softButton, &tubeButton, &tapeButton, &distoButton, &fuzzButton })
        b->setRadioGroupId (driveModeGroup);

    for (auto* b : { &offConsoleButton, &uConsoleButton, &aConsoleButton, &sConsoleButton, &nConsoleButton })
        b->setRadioGroupId (consoleGroup);
}

void MorvantaProcessorEditor::attachButtons (juce::AudioProcessorValueTreeState& vts)
{
    const auto attach = [this, &vts] (const char* parameterId, juce::Button& button)
    { return std::make_unique<ToggleAttachment> (*vts.getParameter (parameterId), button, processorRef.restoringState); };

    softAttachment = attach (ParameterIDs::softButton, softButton);
    tubeAttachment = attach (ParameterIDs::tubeButton, tubeButton);
    tapeAttachment = attach (ParameterIDs::tapeButton, tapeButton);
    fuzzAttachment = attach (ParameterIDs::fuzzButton, fuzzButton);
    offConsoleAttachment = attach (ParameterIDs::ofConsole, offConsoleButton);
    uConsoleAttachment = attach (ParameterIDs::uConsole, uConsoleButton);
    aConsoleAttachment = attach (ParameterIDs::aConsole, aConsoleButton);
    sConsoleAttachment = attach (ParameterIDs::sConsole, sConsoleButton);
    powerAttachment = attach (ParameterIDs::onButton, powerButton);
}

void MorvantaProcessorEditor::createKnobs (juce::AudioProcessorValueTreeState& vts)
{
    const auto knob = [&] (juce::Slider& slider, juce::Label& caption, std::unique_ptr<SliderAttachment>& attachment, const char* text, const char* parameterId, const char* suffix)
    {
        createSlider (slider, suffix);
        createLabel (caption, text, &slider);
        attachment = std::make_unique<SliderAttachment> (vts, parameterId, slider);

        // The attachment hands the value over later when the view is made on a thread the
        // framework does not count as the message thread: by then DRIVE's handler would run.
        const auto& parameter = *vts.getParameter (parameterId);
        slider.setValue (parameter.convertFrom0to1 (parameter.getValue()), juce::dontSendNotification);
    };

    knob (cleanBassKnob, cleanBassLabel, cleanBassAttachment, "CLEAN BASS", ParameterIDs::cleanBass, " dB");
    knob (brightnessKnob, brightnessLabel, brightnessAttachment, "BRIGHTNESS", ParameterIDs::brightness, " dB");
    knob (driveKnob, driveLabel, driveAttachment, "DRIVE", ParameterIDs::drive, " dB");
    knob (grainKnob, grainLabel, grainAttachment, "GRAIN", ParameterIDs::grain, " %");
    knob (outputKnob, outputLabel, outputAttachment, "OUTPUT", ParameterIDs::output, "dB");
    knob (mixKnob, mixLabel, mixAttachment, "MIX", ParameterIDs::mix, " %");
}

void MorvantaProcessorEditor::createConsoleCaption()
{
    consoleLabel.setText ("CONSOLE", juce::dontSendNotification);
    consoleLabel.setJustificationType (juce::Justification::centredLeft);
    addAndMakeVisible (consoleLabel);
    consoleLabel.setColour (juce::Label::textColourId, blackQuelm);
}

void MorvantaProcessorEditor::showWhatPlays (juce::AudioProcessorValueTreeState& vts)
{
    // In drive-mode order: 0 Tape, 1 Soft, 2 Tube, 3 Disto, 4 Fuzz.
    juce::Button* const modes[] = { &tapeButton, &softButton, &tubeButton, &distoButton, &fuzzButton };
    // In console order: 1 "-", 2 "U", 3 "A", 4 "S", 5 "N".
    juce::Button* const consoles[] = { &offConsoleButton, &uConsoleButton, &aConsoleButton, &sConsoleButton, &nConsoleButton };

    // Without notifications, the radio groups leave every other button of theirs dark and no
    // handler or parameter hears of it.
    if (const auto mode = processorRef.driveModeHeard(); GrainMath::isValidMode (mode))
        modes[mode]->setToggleState (true, juce::dontSendNotification);

    if (const auto console = processorRef.consoleIndex.load(); ConsoleLibrary::isValidIndex (console))
        consoles[console - ConsoleLibrary::none]->setToggleState (true, juce::dontSendNotification);

    powerButton.setToggleState (vts.getRawParameterValue (ParameterIDs::onButton)->load() >= 0.5f, juce::dontSendNotification);
    showOversampling();
}

void MorvantaProcessorEditor::showOversampling()
{
    const auto text = oversamplingText (processorRef.getOversampling());
    oversamplingButton.setButtonText (text);
    oversamplingButton.setDescription (text);
}

void MorvantaProcessorEditor::changeListenerCallback (juce::ChangeBroadcaster*) { showWhatPlays (processorRef.parameters); }

void MorvantaProcessorEditor::assignHandlers()
{
    const auto driveModeHandler = [this] (juce::Button& button, int mode)
    {
        return [this, &button, mode]
        {
            if (button.getToggleState())
                processorRef.grain.driveMode.store (mode);
        };
    };

    softButton.onClick = driveModeHandler (softButton, GrainMath::soft);
    tubeButton.onClick = driveModeHandler (tubeButton, GrainMath::tube);
    tapeButton.onClick = driveModeHandler (tapeButton, GrainMath::tape);
    distoButton.onClick = driveModeHandler (distoButton, GrainMath::disto);
    fuzzButton.onClick = driveModeHandler (fuzzButton, GrainMath::fuzz);

    const std::pair<juce::TextButton*, int> consoles[] = { { &offConsoleButton, ConsoleLibrary::none }, { &uConsoleButton, ConsoleLibrary::u }, { &aConsoleButton, ConsoleLibrary::a }, { &sConsoleButton, ConsoleLibrary::s }, { &nConsoleButton, ConsoleLibrary::n } };

    for (const auto& [button, index] : consoles)
        button->onClick = [this, b = button, i = index]
        { loadConsole (i, b); };

    for (const auto& [button, index] : consoles)
        attachCaptionHighlight (*button, index);

    // Only a click of the pointer acts at once; a host or preset change of the power parameter
    // reaches the engine at its next chunk.
    powerButton.onClick = [this]
    {
        if (powerButton.isMouseOverOrDragging())
            processorRef.effectOff.store (! powerButton.getToggleState());
    };

    presetsButton.onClick = [this]
    { showPresetMenu(); };

    const auto presetStepHandler = [this] (int step)
    {
        return [this, step]
        {
            if (presetFiles.isEmpty())
                loadPresetFiles();

            stepPreset (step);
        };
    };

    previousPresetButton.onClick = presetStepHandler (-1);
    nextPresetButton.onClick = presetStepHandler (1);

    oversamplingButton.onClick = [this]
    { showOversamplingMenu(); };

    driveKnob.onValueChange = [this]
    { processorRef.console.setThreshold ((float) driveKnob.getValue()); };
}

void MorvantaProcessorEditor::sizeWindow()
{
    setResizable (true, false);
    getConstrainer()->setFixedAspectRatio (aspectRatio);
    setSize (processorRef.editorWidth, processorRef.editorHeight);
    // Also corrects a remembered size that breaks the limits or the aspect ratio.
    setResizeLimits (minimumWidth, minimumHeight, maximumWidth, maximumHeight);
}

//==============================================================================
void MorvantaProcessorEditor::mouseDoubleClick (const juce::MouseEvent&) {}
void MorvantaProcessorEditor::timerCallback() {}
void MorvantaProcessorEditor::sliderValueChanged (juce::Slider*) {}
void MorvantaProcessorEditor::sliderDragStarted (juce::Slider*) {}
void MorvantaProcessorEditor::sliderDragEnded (juce::Slider*) {}

void MorvantaProcessorEditor::createSlider (juce::Slider& slider, juce::String suffix)
{
    addAndMakeVisible (slider);
    slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    slider.setTextValueSuffix (suffix);
    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 60, 15);
    slider.setTextBoxIsEditable (true);
}

void MorvantaProcessorEditor::createLabel (juce::Label& label, juce::String text, juce::Component* owner)
{
    addAndMakeVisible (label);
    label.setText (text, juce::dontSendNotification);
    label.setJustificationType (juce::Justification::centred);
    label.attachToComponent (owner, false);
}

//==============================================================================
void MorvantaProcessorEditor::loadConsole (int index, juce::Button* button)
{
    // Acting only while the button is on ignores the notifications of buttons that the radio
    // group or a parameter switches off.
    if (! button->getToggleState())
        return;

    processorRef.consoleIndex.store (index);
    ConsoleLibrary::applyConsole (processorRef.console, index, (float) driveKnob.getValue(), formatManager);
}

void MorvantaProcessorEditor::attachCaptionHighlight (juce::TextButton& button, int index)
{
    button.onStateChange = [this, &button, index]
    {
        const auto lit = button.getState() != juce::Button::buttonNormal && index != ConsoleLibrary::none;
        consoleLabel.setColour (juce::Label::textColourId, lit ? greyWhiteQuelm : blackQuelm);
    };
}

//==============================================================================
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

//==============================================================================
void MorvantaProcessorEditor::resized()
{
    const auto W = getWidth();
    const auto H = getHeight();

    processorRef.editorWidth = W;
    processorRef.editorHeight = H;

    // Before any knob moves: the captions take their height from the look's label font as they
    // follow their knobs.
    look.labelFontHeight = EditorLayout::labelFontHeightFor (W);

    layout = EditorLayout::compute (W, H);
    backgroundGradient = layout.makeBackgroundGradient();
    panelGradient = layout.makePanelGradient();

    presetsButton.setBounds (layout.presetsButton);
    previousPresetButton.setBounds (layout.previousPresetButton);
    nextPresetButton.setBounds (layout.nextPresetButton);
    powerButton.setBounds (layout.powerButton);
    cleanBassKnob.setBounds (layout.cleanBassKnob);

    // Everything below the first knob hangs off its caption as the framework placed it.
    if (cleanBassLabel.getBounds() != layout.cleanBassLabel)
        layout = EditorLayout::compute (W, H, cleanBassLabel.getHeight());

    driveKnob.setBounds (layout.driveKnob);
    frame.setBounds (layout.frame);
    grainKnob.setBounds (layout.grainKnob);
    outputKnob.setBounds (layout.outputKnob);
    brightnessKnob.setBounds (layout.brightnessKnob);
    mixKnob.setBounds (layout.mixKnob);
    analyser.setBounds (layout.analyser);

    softButton.setBounds (layout.softButton);
    tubeButton.setBounds (layout.tubeButton);
    tapeButton.setBounds (layout.tapeButton);
    distoButton.setBounds (layout.distoButton);
    fuzzButton.setBounds (layout.fuzzButton);

    offConsoleButton.setBounds (layout.offConsoleButton);
    uConsoleButton.setBounds (layout.uConsoleButton);
    aConsoleButton.setBounds (layout.aConsoleButton);
    sConsoleButton.setBounds (layout.sConsoleButton);
    nConsoleButton.setBounds (layout.nConsoleButton);
    consoleLabel.setBounds (layout.consoleLabel);
    oversamplingButton.setBounds (layout.oversamplingButton);

    // Read-only from here on: the value boxes cannot be typed into once the window is laid out.
    for (auto* k : { &cleanBassKnob, &brightnessKnob, &outputKnob, &mixKnob })
        k->setTextBoxStyle (juce::Slider::TextBoxBelow, true, layout.smallTextBoxWidth, layout.smallTextBoxHeight);

    for (auto* k : { &driveKnob, &grainKnob })
        k->setTextBoxStyle (juce::Slider::TextBoxBelow, true, layout.bigTextBoxWidth, layout.bigTextBoxHeight);

    for (auto* caption : { &cleanBassLabel, &brightnessLabel, &driveLabel, &grainLabel, &outputLabel, &mixLabel })
        caption->setFont (juce::Font (layout.captionFontHeight, juce::Font::bold));

    consoleLabel.setFont (juce::Font (layout.consoleFontHeight, juce::Font::bold));
    stillLayers.invalidate();
    // The spectrum display repaints its area 30 times a second.
    stillLayers.setFrequentArea (frame.getBounds());
}

void MorvantaProcessorEditor::paint (juce::Graphics& g)
{
    stillLayers.draw (g, getWidth(), getHeight(), [this] (juce::Graphics& layers)
        { paintStillLayers (layers); });
}

void MorvantaProcessorEditor::paintStillLayers (juce::Graphics& g)
{
    const auto& l = layout;

    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);

    g.setGradientFill (backgroundGradient);
    g.fillAll();

    g.setGradientFill (panelGradient);
    g.fillRoundedRectangle (l.panel.toFloat(), EditorLayout::panelCorner);

    g.setTiledImageFill (panelTexture, 0, 0, 0.5f);
    g.fillRoundedRectangle (l.panelInner, EditorLayout::panelCorner);

    g.setColour (blackQuelm);
    g.drawRoundedRectangle (l.panelInner, EditorLayout::panelCorner, 3.0f);

    g.setColour (blackUltraQuelm);
    g.drawRoundedRectangle (l.panelShadow, EditorLayout::panelCorner, 2.0f);

    g.setColour (greyBlackQuelm);

    for (const auto& line : l.separators)
        g.drawLine (line, 2.0f);

    g.setColour (blackUltraQuelm);
    g.drawEllipse (l.scopeShadowUpperLeft, 5.0f);
    g.setColour (blackQuelm);
    g.drawEllipse (l.scopeShadowLowerRight, 5.0f);
    g.setColour (greyQuelm);
    g.fillEllipse (l.scopeRim);

    g.drawImage (titleImage, l.title.getX(), l.title.getY(), l.title.getWidth(), l.title.getHeight(), 0, 0, titleImage.getWidth(), titleImage.getHeight());

    // The scope's disc goes with the rest: nothing overlaps it but the spectrum display.
    g.setOrigin (frame.getPosition());
    frame.paintDisc (g);
}
