#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "editor/Palette.h"
#include "engine/state/ParameterIDs.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/editor/RecordingContext.h"
#include "tests/engine/ProcessorTestSupport.h"

using EditorTestSupport::OpenEditor;
using ProcessorTestSupport::raw;
using ProcessorTestSupport::setPlain;

TEST (DriveModeButtons, ClicksWriteTheModeAndDistoLeavesEveryModeParameterOff)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    editor.showOnDesktop();

    editor.click (editor->distoButton);
    EXPECT_EQ (processor.grain.driveMode.load(), GrainMath::disto);
    EXPECT_TRUE (editor->distoButton.getToggleState());

    for (auto* id : { ParameterIDs::softButton, ParameterIDs::tubeButton, ParameterIDs::tapeButton, ParameterIDs::fuzzButton })
        EXPECT_EQ (raw (processor, id), 0.0f) << id;

    const std::pair<juce::TextButton*, int> modes[] = { { &editor->softButton, GrainMath::soft }, { &editor->tubeButton, GrainMath::tube }, { &editor->tapeButton, GrainMath::tape }, { &editor->fuzzButton, GrainMath::fuzz } };

    for (const auto& [button, mode] : modes)
    {
        editor.click (*button);
        EXPECT_EQ (processor.grain.driveMode.load(), mode) << button->getButtonText();
        EXPECT_TRUE (button->getToggleState());
    }

    // A click on the button that is on keeps it on and writes its mode again.
    editor.click (editor->softButton);
    processor.grain.driveMode.store (GrainMath::tape);
    editor.click (editor->softButton);
    EXPECT_TRUE (editor->softButton.getToggleState());
    EXPECT_EQ (raw (processor, ParameterIDs::softButton), 1.0f);
    EXPECT_EQ (processor.grain.driveMode.load(), GrainMath::soft);
}

TEST (DriveModeButtons, HostSwitchingAModeOnWhileTheEditorIsOpenActsAtOnce)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);

    setPlain (processor, ParameterIDs::tubeButton, 1.0f);
    EXPECT_EQ (processor.grain.driveMode.load(), GrainMath::tube) << "before any chunk runs";
    EXPECT_TRUE (editor->tubeButton.getToggleState());
    EXPECT_EQ (raw (processor, ParameterIDs::softButton), 0.0f) << "the radio group switched SOFT off";

    // Switching a mode off does nothing: the handler of the button left off returns.
    processor.grain.driveMode.store (GrainMath::fuzz);
    setPlain (processor, ParameterIDs::tubeButton, 0.0f);
    EXPECT_EQ (processor.grain.driveMode.load(), GrainMath::fuzz);
}

TEST (PowerButton, AClickActsAtOnceButHostChangesAreLeftToTheEngine)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    editor.showOnDesktop();

    editor.click (editor->powerButton);
    EXPECT_FALSE (editor->powerButton.getToggleState());
    EXPECT_EQ (raw (processor, ParameterIDs::onButton), 0.0f);
    EXPECT_TRUE (processor.effectOff.load()) << "set before any chunk runs";

    editor.click (editor->powerButton);
    EXPECT_EQ (raw (processor, ParameterIDs::onButton), 1.0f);
    EXPECT_FALSE (processor.effectOff.load());

    // Host automation while the pointer is elsewhere: the button follows, the flag waits for the
    // engine's next chunk.
    editor.leave();
    setPlain (processor, ParameterIDs::onButton, 0.0f);
    EXPECT_FALSE (editor->powerButton.getToggleState());
    EXPECT_FALSE (processor.effectOff.load());

    ProcessorTestSupport::prepare (processor, 48000.0, 64);
    ProcessorTestSupport::feedSine (processor, 0.01, 64, 440.0, 0.1f);
    EXPECT_TRUE (processor.effectOff.load());
}

TEST (DriveKnob, SetsTheConsoleThresholdFromUserMovesAndAutomation)
{
    MorvantaProcessor processor;
    OpenEditor editor (processor);
    ASSERT_TRUE (processor.console.off.load()) << "with no console on as well";

    editor->driveKnob.setValue (50.0, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ (processor.console.getRequestedThresholdDb(), -35.0f);
    EXPECT_EQ (raw (processor, ParameterIDs::drive), 50.0f);

    setPlain (processor, ParameterIDs::drive, 10.0f);
    EXPECT_FLOAT_EQ (processor.console.getRequestedThresholdDb(), -7.0f);

    editor->driveKnob.setValue (0.0, juce::sendNotificationSync);
    EXPECT_EQ (processor.console.getRequestedThresholdDb(), 0.0f);
}

namespace
{
/** The items of an open popup menu as the user meets them: text, tick (which screen readers
    tell) and the colour the text is drawn in, or none while the pointer highlights the item. */
struct ShownItem
{
    juce::String text;
    bool ticked;
    std::optional<juce::Colour> textColour;
    juce::Component* component;
};

std::vector<ShownItem> shownItems (juce::Component& menuWindow)
{
    std::vector<ShownItem> items;

    for (auto* c : menuWindow.getChildren())
    {
        if (auto* handler = c->getAccessibilityHandler(); handler != nullptr && handler->getRole() == juce::AccessibilityRole::menuItem)
        {
            RecordingContext context (juce::Image (juce::Image::ARGB, c->getWidth(), c->getHeight(), true));
            juce::Graphics g (context);
            c->paintEntireComponent (g, false);
            const auto highlighted = ! context.log.callsOf (RecordingContext::Kind::fillRect).empty();
            items.push_back ({ handler->getTitle(), handler->getCurrentState().isChecked(), highlighted ? std::nullopt : std::optional (context.log.callsOf (RecordingContext::Kind::drawGlyph).at (0).colour), c });
        }
    }

    return items;
}
} // namespace

TEST (OversamplingButton, ShowsTheProcessorsFactorOnOpeningAndAfterARestore)
{
    MorvantaProcessor processor;
    processor.setOversampling (4);
    OpenEditor editor (processor);
    auto& button = editor->oversamplingButton;

    EXPECT_EQ (button.getButtonText(), "4x");
    EXPECT_EQ (processor.getOversampling(), 4) << "opening chooses nothing";
    EXPECT_EQ (button.getTitle(), "Oversampling");
    EXPECT_EQ (button.getDescription(), "4x") << "screen readers hear the factor too";
    EXPECT_TRUE (button.getTooltip().isEmpty());

    // A project saved at 8x restored on the message thread, then one at 2x off it, which the
    // window hears of through the message loop.
    MorvantaProcessor project;
    juce::MemoryBlock state;
    const std::pair<int, const char*> restores[] = { { 8, "8x" }, { 2, "2x" } };

    for (const auto& [factor, text] : restores)
    {
        project.setOversampling (factor);
        project.getStateInformation (state);
        const auto restore = [&]
        { processor.setStateInformation (state.getData(), (int) state.getSize()); };

        if (factor == 8)
            restore();
        else
            std::thread (restore).join();

        EditorTestSupport::pump (100);
        EXPECT_EQ (button.getButtonText(), text);
        EXPECT_EQ (button.getDescription(), text);
    }
}

TEST (OversamplingMenu, ListsTheFactorsMarksTheCurrentOneAndAPointerChoiceSetsIt)
{
    MorvantaProcessor processor;
    processor.setOversampling (2);
    OpenEditor editor (processor);
    editor.showOnDesktop();

    const auto open = [&]
    {
        editor.click (editor->oversamplingButton);
        EditorTestSupport::pump (300); // a popup menu ignores clicks in its first 250 ms
        const auto menus = EditorTestSupport::menuWindows();
        return menus.size() == 1 ? menus.front() : nullptr;
    };

    // Escape chooses nothing: the next menu still marks 2x.
    auto* menu = open();
    ASSERT_NE (menu, nullptr) << "the pointer's click opened the menu";
    menu->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey));
    EditorTestSupport::pump();

    menu = open();
    ASSERT_NE (menu, nullptr);
    const auto items = shownItems (*menu);
    ASSERT_EQ (items.size(), 4u);
    const char* const texts[] = { "1x", "2x", "4x", "8x" };

    for (size_t i = 0; i < items.size(); ++i)
    {
        EXPECT_EQ (items[i].text, texts[i]);
        EXPECT_EQ (items[i].ticked, i == 1) << texts[i];
        const auto colour = i == 1 ? orangeQuelm : greyWhiteQuelm; // the current one as a lit button's text
        EXPECT_EQ (items[i].textColour.value_or (colour), colour) << texts[i];
        EXPECT_EQ (items[i].component->getHeight(), 24) << "0.07 of the window's height";
    }

    EditorTestSupport::clickIn (*menu, *items[3].component);
    EditorTestSupport::pump();
    EXPECT_TRUE (EditorTestSupport::menuWindows().empty());
    EXPECT_EQ (processor.getOversampling(), 8);
    EXPECT_EQ (editor->oversamplingButton.getButtonText(), "8x");

    // Nor does the window closing with the menu open.
    ASSERT_NE (open(), nullptr);
    editor.close();
    EditorTestSupport::pump();
    EXPECT_EQ (processor.getOversampling(), 8);
}
