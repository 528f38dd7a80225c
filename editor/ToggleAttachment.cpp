#include "editor/ToggleAttachment.h"

ToggleAttachment::ToggleAttachment (juce::RangedAudioParameter& parameter, juce::Button& b)
    : button (b)
    , attachment (parameter, [this] (float value)
          { setToggle (value); })
{
    button.addListener (this);
}

ToggleAttachment::~ToggleAttachment() { button.removeListener (this); }

void ToggleAttachment::setToggle (float value)
{
    // The click this sends reaches the button's handler, not back into the parameter.
    const juce::ScopedValueSetter<bool> setting (settingToggle, true);
    button.setToggleState (value >= 0.5f, juce::sendNotificationSync);
}

void ToggleAttachment::buttonClicked (juce::Button*)
{
    if (! settingToggle)
        attachment.setValueAsCompleteGesture (button.getToggleState() ? 1.0f : 0.0f);
}
