#pragma once

#include <array>

#include <juce_gui_basics/juce_gui_basics.h>

/**
    Where everything in the editor window goes, as a pure function of the window size.

    Every bound is a proportion of the width W or height H, worked out in double precision and
    truncated toward zero; later controls are placed relative to earlier ones, so the order of
    compute() matters. The editor's resized() applies the bounds, sizes and fonts, and its paint()
    draws the background from the paint geometry. Message thread only.
*/
struct EditorLayout
{
    /** Lays out a W x H window. `captionHeight` is the height of the caption label attached above
        the CLEAN BASS knob; the knob's own bounds do not depend on it, so the editor may place
        that knob first and pass its caption's real height. */
    static EditorLayout compute (int W, int H, int captionHeight);

    /** The same, with the caption height the framework gives a label of labelFontHeight (W). */
    static EditorLayout compute (int W, int H);

    /** Label font height for a window W pixels wide (the look's labelFontHeight). */
    static float labelFontHeightFor (int W);

    /** Height the framework gives a label attached above its component when its look-and-feel's
        label font is `fontHeight` pixels high and the label keeps the default 1-pixel top and
        bottom border: the border, 6 pixels, and the font height rounded after adding 0.5. */
    static int attachedCaptionHeight (float fontHeight);

    /** Radial fill of the whole window (centre first, then a point on the rim). */
    juce::ColourGradient makeBackgroundGradient() const;
    /** Radial fill of the knob panel. */
    juce::ColourGradient makePanelGradient() const;

    int width = 0, height = 0;

    // Derived quantities, with their short names in the layout formulas.
    double smallKnobSize = 0.0; // k; big knobs and the scope are 2k
    double gapUnit = 0.0; // g, horizontal
    int smallKnobRowY = 0; // rowY, top of the small-knob row
    int modeButtonWidth = 0, modeButtonHeight = 0; // bw, bh: drive-mode buttons
    int buttonSide = 0; // s: console and power buttons, height of the arrow buttons
    double centreX = 0.0; // cx

    // Controls, in placing order, named as the editor's members that they place; the comments
    // give their short names in the layout formulas.
    juce::Rectangle<int> presetsButton, previousPresetButton, nextPresetButton, powerButton; // PRE, PREV, NEXT, PWR
    juce::Rectangle<int> cleanBassKnob, cleanBassLabel; // CB and its caption
    juce::Rectangle<int> driveKnob, frame, grainKnob, outputKnob, brightnessKnob, mixKnob; // DR, FR, GR, OU, BR, MX
    juce::Rectangle<int> analyser; // SA, in the frame's coordinates
    juce::Rectangle<int> softButton, tubeButton, tapeButton, distoButton, fuzzButton;
    juce::Rectangle<int> offConsoleButton, uConsoleButton, aConsoleButton, sConsoleButton, nConsoleButton; // "-", "U", "A", "S", "N"
    juce::Rectangle<int> consoleLabel; // CON
    juce::Rectangle<int> oversamplingButton; // OS

    // Knob value text boxes (TextBoxBelow, read-only).
    int smallTextBoxWidth = 0, smallTextBoxHeight = 0; // CLEAN BASS, BRIGHTNESS, OUTPUT, MIX
    int bigTextBoxWidth = 0, bigTextBoxHeight = 0; // DRIVE, GRAIN

    // Fonts (bold captions; the look draws every label plain at labelFontHeight).
    float labelFontHeight = 0.0f;
    float captionFontHeight = 0.0f;
    float consoleFontHeight = 0.0f;

    // Gradient points; the colours are fixed.
    juce::Point<float> backgroundCentre, backgroundRim;
    juce::Point<float> panelCentre, panelRim;

    // Paint geometry.
    int panelMargin = 0; // m
    juce::Rectangle<int> panel; // P: the textured knob panel
    juce::Rectangle<float> panelInner; // Q: P with its left and top edges moved in by 3
    juce::Rectangle<float> panelShadow; // P moved by (1, 1): the dark outer outline
    int separatorY = 0;
    std::array<juce::Line<float>, 5> separators; // between the console buttons and up to the caption
    juce::Rectangle<float> scopeShadowUpperLeft, scopeShadowLowerRight, scopeRim;
    juce::Rectangle<int> title; // destination of the title image

    static constexpr float panelCorner = 25.0f;
};
