#include "editor/ToggleAttachment.h"

ToggleAttachment::ToggleAttachment (juce::RangedAudioParameter& p, juce::Button& b, const std::atomic<bool>& restoringState)
    : parameter (p)
    , button (b)
    , restoring (restoringState)
    , attachment (p, [this] (float value)
          { setToggle (value); })
{
    parameter.addListener (this);
    button.addListener (this);
}

ToggleAttachment::~ToggleAttachment()
{
    button.removeListener (this);
    parameter.removeListener (this);
}

void ToggleAttachment::parameterValueChanged (int, float)
{
    // On the message thread the toggle is set at once, while the restore is still running.
    if (restoring.load() && ! juce::MessageManager::getInstance()->isThisTheMessageThread())
        silentUpdatePending.store (true);
}

void ToggleAttachment::setToggle (float value)
{
    const bool silent = silentUpdatePending.exchange (false) || restoring.load();

    // The click this sends reaches the button's handler, not back into the parameter.
    const juce::ScopedValueSetter<bool> setting (settingToggle, true);
    button.setToggleState (value >= 0.5f, silent ? juce::dontSendNotification : juce::sendNotificationSync);
}

void ToggleAttachment::buttonClicked (juce::Button*)
{
    if (! settingToggle)
        attachment.setValueAsCompleteGesture (button.getToggleState() ? 1.0f : 0.0f);
}
