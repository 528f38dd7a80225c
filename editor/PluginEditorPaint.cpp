#include "editor/PluginEditor.h"

#include "editor/Palette.h"
#include "engine/PluginProcessor.h"

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
