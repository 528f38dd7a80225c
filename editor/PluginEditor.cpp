#include "editor/PluginEditor.h"

#include <MorvantaBinaryData.h>

#include "editor/BundleLocation.h"
#include "editor/Palette.h"
#include "engine/PluginProcessor.h"
#include "engine/console/ConsoleLibrary.h"
#include "engine/drive/GrainMath.h"
#include "engine/state/ParameterIDs.h"

namespace
{
constexpr int driveModeGroup = 1;
constexpr int consoleGroup = 2;
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

#ifdef _WIN32
    startTimerHz (60);
#endif
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

// The framework's Windows windows (JUCE 7.0.5) put off what they are asked to repaint until the
// display's vertical blank, which a thread of the framework's waits for through DXGI. Where no
// vertical blank ever comes, the window stays as first painted: under Wine 8, whose DXGI answers
// the wait with E_NOTIMPL, a Windows host showed neither the spectrum nor a state it restored. So
// on Windows this paints what the module's windows (this one and its open menus) have pending,
// 60 times a second; where vertical blanks come, it paints at most a frame earlier.
void MorvantaProcessorEditor::timerCallback()
{
    for (int i = juce::ComponentPeer::getNumPeers(); --i >= 0;)
        juce::ComponentPeer::getPeer (i)->performAnyPendingRepaintsNow();
}

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
