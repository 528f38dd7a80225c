#include "editor/PluginEditor.h"
#include "engine/PluginProcessor.h"

// The engine declares the processor's window and this library supplies it, so that programs
// built on the engine alone carry no editor.
juce::AudioProcessorEditor* MorvantaProcessor::createEditor() { return new MorvantaProcessorEditor (*this, parameters); }
