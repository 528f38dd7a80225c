#include "engine/PluginProcessor.h"

// Test programs built on the engine alone link no editor code: JUCE's generic editor, one slider
// per parameter, stands in for the plug-in window.
juce::AudioProcessorEditor* MorvantaProcessor::createEditor() { return new juce::GenericAudioProcessorEditor (*this); }
