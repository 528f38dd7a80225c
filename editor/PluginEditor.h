#pragma once

#include <array>
#include <memory>

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include "editor/CachedLayer.h"
#include "editor/EditorLayout.h"
#include "editor/Frame.h"
#include "editor/Look.h"
#include "editor/SpectrumAnalyzer.h"
#include "editor/ToggleAttachment.h"

class MorvantaProcessor;

/**
    The plug-in window: six knobs, the drive-mode, console, power and preset buttons bound to the
    parameter tree, the spectrum scope, and the oversampling button, which shows the processor's
    factor and opens a menu to choose another (a setting of the instance, not a parameter). Its
    handlers write straight into the engine (drive mode, power flag, console threshold and impulse
    responses, oversampling factor). The host may resize it within 450 x 175 to 1800 x 700 at a
    fixed aspect ratio; the processor remembers the last size.

    Opening runs no handler and changes nothing in the engine: the controls take their values
    before any click or value handler is assigned. The drive-mode and console buttons show what
    plays, which the parameters need not tell: Disto and "N" have none, and the engine never reads
    the console parameters. A state the host restores while the window is open is shown by the
    same rule once it has been applied, and its parameter changes run no button handler. The
    oversampling button shows the factor the processor holds, on opening and after a restore.

    The controls are public so that tests can drive them the way a user does. Message thread only.
*/
class MorvantaProcessorEditor : public juce::AudioProcessorEditor, public juce::Slider::Listener, public juce::Timer, private juce::ChangeListener
{
public:
    MorvantaProcessorEditor (MorvantaProcessor&, juce::AudioProcessorValueTreeState&);
    ~MorvantaProcessorEditor() override;

    void mouseDoubleClick (const juce::MouseEvent&) override;
    /** Copies the still layers, rendered once per size and display scale. */
    void paint (juce::Graphics&) override;
    void resized() override;
    /** On Windows only, 60 times a second: paints what the module's windows have asked to repaint,
        where the display's vertical blank that the framework waits for never comes. */
    void timerCallback() override;
    void sliderValueChanged (juce::Slider*) override;
    void sliderDragStarted (juce::Slider*) override;
    void sliderDragEnded (juce::Slider*) override;

    /** Paints what stays the same between resizes: the window's and the panel's gradients, the
        panel texture, outlines, separators, the scope surround, the title and the scope's disc. */
    void paintStillLayers (juce::Graphics&);

    /** Makes one rotary knob with its value text box below it. */
    void createSlider (juce::Slider&, juce::String suffix);
    /** Makes the caption of a knob, kept above the knob by the framework. */
    void createLabel (juce::Label&, juce::String text, juce::Component* owner);

    /** Replaces presetFiles with the "*.mrv" entries (files and folders, any case, hidden ones
        left out, not recursive) of the preset folder, sorted by name ignoring case. */
    void loadPresetFiles();
    /** Steps currentPreset by -1 or +1 with wrap-around, loads that preset and shows its name on
        the PRESETS button. Nothing happens while the list is empty. */
    void stepPreset (int step);

    /** Name a preset is shown by: its file name without extension, less the category character
        and the one after it. */
    static juce::String shownName (const juce::File& preset);

    /** Aspect ratio of the window, 900 / 350 worked out in single precision. */
    static constexpr double aspectRatio = 2.5714285373687744;
    static constexpr int minimumWidth = 450, minimumHeight = 175;
    static constexpr int maximumWidth = 1800, maximumHeight = 700;

    //==============================================================================
    MorvantaProcessor& processorRef;
    Look look;
    juce::Image titleImage;
    juce::ColourGradient backgroundGradient, panelGradient;
    juce::AudioFormatManager formatManager;

    juce::Array<juce::File> presetFiles;
    int currentPreset = 0; // 1-based position in presetFiles of the last preset loaded; 0 for none
    /** Where the factory presets are looked for: the bundle's Contents/Resources/Presets. */
    juce::File presetFolder;

    juce::TextButton softButton, tubeButton, tapeButton, distoButton, fuzzButton;
    juce::TextButton offConsoleButton, uConsoleButton, aConsoleButton, sConsoleButton, nConsoleButton;
    juce::Label consoleLabel;

    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;

    std::unique_ptr<ToggleAttachment> softAttachment, tubeAttachment, tapeAttachment, fuzzAttachment;
    std::unique_ptr<ToggleAttachment> offConsoleAttachment, uConsoleAttachment, aConsoleAttachment, sConsoleAttachment;
    std::unique_ptr<ToggleAttachment> powerAttachment;

    juce::Slider cleanBassKnob;
    juce::Label cleanBassLabel;
    std::unique_ptr<SliderAttachment> cleanBassAttachment;
    juce::Slider brightnessKnob;
    juce::Label brightnessLabel;
    std::unique_ptr<SliderAttachment> brightnessAttachment;
    juce::Slider driveKnob;
    juce::Label driveLabel;
    std::unique_ptr<SliderAttachment> driveAttachment;
    juce::Slider grainKnob;
    juce::Label grainLabel;
    std::unique_ptr<SliderAttachment> grainAttachment;
    juce::Slider outputKnob;
    juce::Label outputLabel;
    std::unique_ptr<SliderAttachment> outputAttachment;
    juce::Slider mixKnob;
    juce::Label mixLabel;
    std::unique_ptr<SliderAttachment> mixAttachment;

    juce::ImageButton powerButton;

    juce::TextButton presetsButton, previousPresetButton, nextPresetButton;
    juce::TextButton oversamplingButton;

    juce::PopupMenu presetMenu;
    juce::PopupMenu masteringMenu, vocalMenu, drumMenu, guitarMenu, bassMenu, synthMenu;

    Frame frame;
    SpectrumAnalyzer analyser;
    juce::Image panelTexture;

private:
    // The constructor's steps, in the order it takes them.
    /** Gives the drive-mode, console, power and preset buttons their texts, colours and images,
        shows them, makes clicks toggle them and puts the radio buttons in their groups. */
    void createButtons();
    /** Binds the buttons that have a parameter to it, leaving them as they are. */
    void attachButtons (juce::AudioProcessorValueTreeState&);
    /** Makes the six knobs, each with its caption and its parameter's range and value. */
    void createKnobs (juce::AudioProcessorValueTreeState&);
    void createConsoleCaption();
    /** Lights the button of the drive mode and of the console that play, and the power button
        while the power parameter is on; every other button stays dark. The oversampling button
        shows the processor's factor. */
    void showWhatPlays (juce::AudioProcessorValueTreeState&);
    /** A restored state has been applied: shows what it plays. */
    void changeListenerCallback (juce::ChangeBroadcaster*) override;
    /** Click handlers of every button, the console caption's highlight and DRIVE's value handler. */
    void assignHandlers();
    /** Lets the host resize the window within the limits at the fixed aspect ratio, and opens it
        at the size the processor remembers, corrected to those rules. */
    void sizeWindow();

    /** Hands the console of a console button to the engine, when that button is on. */
    void loadConsole (int index, juce::Button* button);
    /** Lights the "CONSOLE" caption while the pointer is over or presses a console button. */
    void attachCaptionHighlight (juce::TextButton& button, int index);
    /** The preset menu's submenus, for the names that start with "0" to "5" in turn. */
    std::array<juce::PopupMenu*, 6> categoryMenus();
    void clearPresetMenus();
    void showPresetMenu();
    void presetMenuClosed (int result, const juce::Array<juce::File>& listed);
    /** Puts the processor's oversampling factor on its button, for the eye and for screen readers. */
    void showOversampling();
    /** Opens the menu of oversampling factors below the oversampling button, the current one
        marked; a choice goes to the processor and onto the button. */
    void showOversamplingMenu();

    /** Everything resized placed last, for paint. */
    EditorLayout layout;
    CachedLayer stillLayers;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorvantaProcessorEditor)
};
