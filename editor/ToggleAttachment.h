#pragma once

#include <atomic>

#include <juce_audio_processors/juce_audio_processors.h>

/**
    Binds a toggle button to a boolean parameter both ways, as the framework's button attachment
    does, except that making it leaves the button as it is.

    The framework's attachment gives the button the parameter's value when it is made, at once
    on the message thread and later, through the message loop, on any other. A plug-in's view is
    often made on a host thread that the framework does not count as the message thread (a Linux
    host before it has lent the plug-in its run loop): the value then arrives after the click
    handlers are in place and runs them, so that opening the window could switch the console
    heard. With this binding the editor sets the buttons itself, to what plays.

    Afterwards a parameter change sets the toggle with a click notification (message thread,
    delivered there from other threads), and a click writes the toggle state to the parameter as
    a complete gesture. A change made while `restoring` is raised (a host restoring a state) sets
    the toggle silently, however late it arrives: a restore plays its own console and mode, which
    the handlers must not switch, and the editor shows them once it has ended. Message thread.
*/
class ToggleAttachment : private juce::Button::Listener, private juce::AudioProcessorParameter::Listener
{
public:
    ToggleAttachment (juce::RangedAudioParameter& parameter, juce::Button& button, const std::atomic<bool>& restoring);
    ~ToggleAttachment() override;

private:
    void setToggle (float value);
    void buttonClicked (juce::Button*) override;
    void parameterValueChanged (int, float) override;
    void parameterGestureChanged (int, bool) override {}

    juce::RangedAudioParameter& parameter;
    juce::Button& button;
    const std::atomic<bool>& restoring;
    /** Raised by a restore's change made off the message thread, whose toggle arrives later
        through the message loop; lowered when it has. */
    std::atomic<bool> silentUpdatePending{ false };
    juce::ParameterAttachment attachment;
    bool settingToggle = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ToggleAttachment)
};
