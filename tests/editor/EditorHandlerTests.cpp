#include <gtest/gtest.h>

#include <thread>

#include "editor/Palette.h"
#include "engine/ParameterIDs.h"
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
/** An item of an open popup menu as the user meets it: its text, whether it is ticked (which
    screen readers tell), the colour its text is drawn in, and whether it shows highlighted. */
struct ShownItem
{
    juce::String text;
    bool ticked;
    juce::Colour textColour;
    bool highlighted;
    juce::Component* component;
};

std::vector<ShownItem> shownItems (juce::Component& menuWindow)
{
    std::vector<ShownItem> items;

    for (auto* c : menuWindow.getChildren())
    {
        auto* handler = c->getAccessibilityHandler();

        if (handler == nullptr || handler->getRole() != juce::AccessibilityRole::menuItem)
            continue;

        RecordingContext context (juce::Image (juce::Image::ARGB, c->getWidth(), c->getHeight(), true));
        {
            juce::Graphics g (context);
            c->paintEntireComponent (g, false);
        }
        const auto glyphs = context.log.callsOf (RecordingContext::Kind::drawGlyph);
        items.push_back ({ handler->getTitle(), handler->getCurrentState().isChecked(), glyphs.empty() ? juce::Colour() : glyphs.front().colour, ! context.log.callsOf (RecordingContext::Kind::fillRect).empty(), c });
    }

    return items;
}

/** Clicks the oversampling button with the pointer and waits until its menu takes clicks. */
juce::Component* openOversamplingMenu (OpenEditor& editor)
{
    editor.click (editor->oversamplingButton);
    EditorTestSupport::pump (300); // a popup menu ignores clicks in its first 250 ms
    const auto menus = EditorTestSupport::menuWindows();
    return menus.size() == 1 ? menus.front() : nullptr;
}
} // namespace

TEST (OversamplingButton, ShowsTheProcessorsFactorOnOpeningAndAfterEveryRestore)
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
    EXPECT_FALSE (button.getToggleState());

    // Projects saved at each factor, and one from before the choice existed, restored while the
    // window is open.
    MorvantaProcessor project;
    juce::MemoryBlock state;
    const auto restore = [&] (const juce::MemoryBlock& saved)
    { processor.setStateInformation (saved.getData(), (int) saved.getSize()); };
    const std::pair<int, const char*> factors[] = { { 8, "8x" }, { 1, "1x" }, { 2, "2x" }, { 4, "4x" } };

    for (const auto& [factor, text] : factors)
    {
        project.setOversampling (factor);
        project.getStateInformation (state);
        restore (state);
        EXPECT_EQ (button.getButtonText(), text);
    }

    restore (ProcessorTestSupport::withStateAttribute (state, "oversampling", {}));
    EXPECT_EQ (button.getButtonText(), "1x");

    // Restored off the message thread, the window hears of it through the message loop.
    project.setOversampling (8);
    project.getStateInformation (state);
    std::thread ([&]
        { restore (state); })
        .join();
    EditorTestSupport::pump (100);
    EXPECT_EQ (button.getButtonText(), "8x");
    EXPECT_EQ (button.getDescription(), "8x");
}

TEST (OversamplingMenu, ListsTheFactorsWithTheCurrentOneMarkedAndAPointerChoiceSetsIt)
{
    MorvantaProcessor processor;
    processor.setOversampling (2);
    OpenEditor editor (processor);
    editor.showOnDesktop();

    auto* menu = openOversamplingMenu (editor);
    ASSERT_NE (menu, nullptr) << "the pointer's click opened the menu";
    auto items = shownItems (*menu);
    ASSERT_EQ (items.size(), 4u);
    const char* const texts[] = { "1x", "2x", "4x", "8x" };

    // The current factor in the colour of a lit button; unless the pointer highlights an item.
    for (size_t i = 0; i < items.size(); ++i)
    {
        EXPECT_EQ (items[i].text, texts[i]);
        EXPECT_EQ (items[i].ticked, i == 1) << texts[i];
        EXPECT_EQ (items[i].component->getHeight(), 24) << "0.07 of the window's height";

        if (! items[i].highlighted)
            EXPECT_EQ (items[i].textColour, i == 1 ? orangeQuelm : greyWhiteQuelm) << texts[i];
    }

    EXPECT_GE (menu->getWidth(), editor->oversamplingButton.getWidth());
    EXPECT_GE (menu->getY(), editor->oversamplingButton.getScreenBounds().getBottom()) << "it hangs below the button";

    EditorTestSupport::clickIn (*menu, *items[3].component);
    EditorTestSupport::pump();
    EXPECT_TRUE (EditorTestSupport::menuWindows().empty());
    EXPECT_EQ (processor.getOversampling(), 8);
    EXPECT_EQ (editor->oversamplingButton.getButtonText(), "8x");

    // The next menu marks the new factor.
    menu = openOversamplingMenu (editor);
    ASSERT_NE (menu, nullptr);
    items = shownItems (*menu);
    ASSERT_EQ (items.size(), 4u);

    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ (items[i].ticked, i == 3) << texts[i];

    EditorTestSupport::clickIn (*menu, *items[0].component);
    EditorTestSupport::pump();
    EXPECT_EQ (processor.getOversampling(), 1);
    EXPECT_EQ (editor->oversamplingButton.getButtonText(), "1x");
}

TEST (OversamplingMenu, ClosingItWithoutAChoiceChangesNothing)
{
    MorvantaProcessor processor;
    processor.setOversampling (4);
    OpenEditor editor (processor);
    editor.showOnDesktop();

    // Escape, a click beside the menu, and the window closing with the menu open.
    auto* menu = openOversamplingMenu (editor);
    ASSERT_NE (menu, nullptr);
    menu->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey));
    EditorTestSupport::pump();
    EXPECT_TRUE (EditorTestSupport::menuWindows().empty());

    ASSERT_NE (openOversamplingMenu (editor), nullptr);
    editor.click (editor->mixLabel);
    EditorTestSupport::pump();
    EXPECT_TRUE (EditorTestSupport::menuWindows().empty());

    ASSERT_NE (openOversamplingMenu (editor), nullptr);
    editor.close();
    EditorTestSupport::pump();
    EXPECT_TRUE (EditorTestSupport::menuWindows().empty());

    EXPECT_EQ (processor.getOversampling(), 4);
}
