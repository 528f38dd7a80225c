#include <gtest/gtest.h>

#include "engine/state/ParameterIDs.h"
#include "tests/editor/EditorTestSupport.h"
#include "tests/engine/ProcessorTestSupport.h"
#include "tests/support/ScratchFolder.h"

using EditorTestSupport::OpenEditor;
using EditorTestSupport::pump;
using ProcessorTestSupport::raw;
using ProcessorTestSupport::setPlain;

namespace
{
/** A preset folder of its own for one test; each preset carries its own Drive value, so the
        Drive after a load tells which preset it was. */
struct PresetFolder
{
    void add (const juce::String& name, float drive) { EditorTestSupport::writePreset (folder, name, { { ParameterIDs::drive, drive } }); }

    ScratchFolder scratch{ "morvanta-presets" };
    const juce::File& folder = scratch.getFile();
};

/** An editor on the desktop that looks for presets in `folder`. */
struct Browser
{
    Browser (MorvantaProcessor& p, const juce::File& folder)
        : editor (p)
    {
        editor->presetFolder = folder;
        editor.showOnDesktop();
    }

    void next() { editor.click (editor->nextPresetButton); }
    void previous() { editor.click (editor->previousPresetButton); }

    /** Clicks PRESETS with the pointer and lets the menu appear. */
    void openMenu()
    {
        editor.click (editor->presetsButton);
        pump();
    }

    /** With the menu open, picks the item at `itemPosition` (1-based) of the `categoryPosition`th
            category that can be opened (1-based), with the keys a user would press. */
    void choose (int categoryPosition, int itemPosition)
    {
        const auto menus = EditorTestSupport::menuWindows();
        ASSERT_EQ (menus.size(), 1u);
        auto* main = menus.front();

        for (int i = 0; i < categoryPosition; ++i)
            main->keyPressed (juce::KeyPress (juce::KeyPress::downKey));

        main->keyPressed (juce::KeyPress (juce::KeyPress::rightKey)); // opens it on its first item

        const auto open = EditorTestSupport::menuWindows();
        ASSERT_EQ (open.size(), 2u);
        auto* submenu = open[0] == main ? open[1] : open[0];

        for (int i = 1; i < itemPosition; ++i)
            submenu->keyPressed (juce::KeyPress (juce::KeyPress::downKey));

        submenu->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
        pump();
    }

    void dismiss()
    {
        const auto menus = EditorTestSupport::menuWindows();
        ASSERT_FALSE (menus.empty());
        menus.front()->keyPressed (juce::KeyPress (juce::KeyPress::escapeKey));
        pump();
    }

    juce::String caption() const { return editor->presetsButton.getButtonText(); }

    OpenEditor editor;
};

struct Entry
{
    juce::String text;
    bool isHeader;
    bool isEnabled;
    std::vector<std::pair<int, juce::String>> items; // ID and text of each preset in a category
};

/** The top level of the preset menu as it was built. */
std::vector<Entry> entriesOf (const juce::PopupMenu& menu)
{
    std::vector<Entry> entries;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        Entry entry{ item.text, item.isSectionHeader, item.isEnabled, {} };

        if (item.subMenu != nullptr)
        {
            for (juce::PopupMenu::MenuItemIterator sub (*item.subMenu); sub.next();)
            {
                const auto& preset = sub.getItem();
                EXPECT_TRUE (preset.isEnabled) << preset.text;
                EXPECT_FALSE (preset.isTicked) << preset.text;
                entry.items.push_back ({ preset.itemID, preset.text });
            }
        }

        entries.push_back (entry);
    }

    return entries;
}

juce::StringArray namesOf (const juce::Array<juce::File>& files)
{
    juce::StringArray names;

    for (const auto& f : files)
        names.add (f.getFileName());

    return names;
}

float drive (MorvantaProcessor& p) { return raw (p, ParameterIDs::drive); }
} // namespace

TEST (PresetSteps, FirstStepsWrapAroundAndShowTheName)
{
    PresetFolder presets;
    presets.add ("0-Glue.mrv", 10.0f);
    presets.add ("1-Air.mrv", 20.0f);
    presets.add ("3-Crunch.mrv", 30.0f);
    MorvantaProcessor processor;

    {
        Browser browser (processor, presets.folder);
        browser.next();
        EXPECT_EQ (drive (processor), 10.0f);
        EXPECT_EQ (browser.caption(), "Glue");
        EXPECT_EQ (browser.editor->currentPreset, 1);
    }

    Browser browser (processor, presets.folder);
    EXPECT_EQ (browser.caption(), "PRESETS") << "a new editor starts afresh";
    browser.previous();
    EXPECT_EQ (drive (processor), 30.0f);
    EXPECT_EQ (browser.caption(), "Crunch");

    browser.next();
    EXPECT_EQ (drive (processor), 10.0f);
    EXPECT_EQ (browser.caption(), "Glue");

    browser.previous();
    EXPECT_EQ (browser.caption(), "Crunch");
    browser.previous();
    EXPECT_EQ (browser.caption(), "Air");
    EXPECT_EQ (drive (processor), 20.0f);
}

TEST (PresetSteps, OnePresetIsReloadedAtEveryPress)
{
    PresetFolder presets;
    presets.add ("2-Only.mrv", 40.0f);
    MorvantaProcessor processor;
    Browser browser (processor, presets.folder);

    for (int press = 0; press < 4; ++press)
    {
        setPlain (processor, ParameterIDs::drive, 1.0f);
        press % 2 == 0 ? browser.next() : browser.previous();
        EXPECT_EQ (drive (processor), 40.0f) << press;
        EXPECT_EQ (browser.caption(), "Only");
        EXPECT_EQ (browser.editor->currentPreset, 1);
    }
}

TEST (PresetSteps, EmptyOrMissingFolderChangesNothing)
{
    PresetFolder empty;
    MorvantaProcessor processor;
    setPlain (processor, ParameterIDs::drive, 7.0f);

    for (const auto& folder : { empty.folder, empty.folder.getChildFile ("missing") })
    {
        Browser browser (processor, folder);
        browser.next();
        browser.previous();
        EXPECT_EQ (browser.caption(), "PRESETS");
        EXPECT_EQ (browser.editor->currentPreset, 0);
        EXPECT_TRUE (browser.editor->presetFiles.isEmpty());
        EXPECT_EQ (drive (processor), 7.0f);

        // The menu still opens, with its headers and six categories that cannot be opened.
        browser.openMenu();
        const auto entries = entriesOf (browser.editor->presetMenu);
        ASSERT_EQ (entries.size(), 8u);

        for (size_t i = 1; i < 7; ++i)
        {
            EXPECT_FALSE (entries[i].isEnabled) << entries[i].text;
            EXPECT_TRUE (entries[i].items.empty());
        }

        browser.dismiss();
    }
}

TEST (PresetSteps, NamesOutsideTheCategoriesAreReachedByStepping)
{
    PresetFolder presets;
    presets.add ("0-Glue.mrv", 10.0f);
    presets.add ("9-Spare.mrv", 90.0f / 2.0f);
    MorvantaProcessor processor;
    Browser browser (processor, presets.folder);

    browser.openMenu();
    const auto entries = entriesOf (browser.editor->presetMenu);
    ASSERT_EQ (entries.size(), 8u);
    ASSERT_EQ (entries[1].items.size(), 1u);
    EXPECT_EQ (entries[1].items[0].second, "Glue");

    for (size_t i = 2; i < 7; ++i)
        EXPECT_TRUE (entries[i].items.empty()) << "Spare is in no category";

    browser.dismiss();

    browser.next();
    browser.next();
    EXPECT_EQ (browser.caption(), "Spare");
    EXPECT_EQ (drive (processor), 45.0f);
}

TEST (PresetMenu, LayoutHeadersCategoriesAndItemIds)
{
    PresetFolder presets;
    presets.add ("-old.mrv", 1.0f);
    presets.add ("0-Glue.mrv", 10.0f);
    presets.add ("1-Air.mrv", 20.0f);
    presets.add ("4b.mrv", 44.0f);
    presets.add ("5-Acid.mrv", 45.0f);
    MorvantaProcessor processor;
    Browser browser (processor, presets.folder);
    browser.openMenu();

    ASSERT_EQ (EditorTestSupport::menuWindows().size(), 1u);
    const auto entries = entriesOf (browser.editor->presetMenu);
    ASSERT_EQ (entries.size(), 8u);

    EXPECT_TRUE (entries[0].isHeader);
    EXPECT_EQ (entries[0].text, "FACTORY");
    EXPECT_TRUE (entries[7].isHeader);
    EXPECT_EQ (entries[7].text, "Version: 1.0.1");

    const char* titles[] = { "Mastering", "Vocal", "Drum", "Guitar", "Bass", "Synth" };
    const bool filled[] = { true, true, false, false, true, true };

    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ (entries[(size_t) i + 1].text, titles[i]);
        EXPECT_FALSE (entries[(size_t) i + 1].isHeader);
        EXPECT_EQ (entries[(size_t) i + 1].isEnabled, filled[i]) << titles[i] << ": a category without presets cannot be opened";
    }

    // IDs are the 1-based positions in the sorted list: "-old" takes 1 without being shown.
    using Items = std::vector<std::pair<int, juce::String>>;
    EXPECT_EQ (entries[1].items, (Items{ { 2, "Glue" } }));
    EXPECT_EQ (entries[2].items, (Items{ { 3, "Air" } }));
    EXPECT_EQ (entries[5].items, (Items{ { 4, "" } })) << "4b is too short for a name";
    EXPECT_EQ (entries[6].items, (Items{ { 5, "Acid" } }));

    // The items are 0.07 of the window height (24 pixels at 350) and as wide as PRESETS at least.
    auto* window = EditorTestSupport::menuWindows().front();
    EXPECT_GE (window->getWidth(), browser.editor->presetsButton.getWidth());
    bool standardHeightSeen = false;

    for (auto* item : window->getChildren())
        standardHeightSeen = standardHeightSeen || item->getHeight() == 24;

    EXPECT_TRUE (standardHeightSeen);
    browser.dismiss();
}

TEST (PresetMenu, ChoosingLoadsByPositionAndSteppingGoesOnFromThere)
{
    PresetFolder presets;
    presets.add ("-old.mrv", 1.0f);
    presets.add ("0-Glue.mrv", 10.0f);
    presets.add ("1-Air.mrv", 20.0f);
    MorvantaProcessor processor;
    Browser browser (processor, presets.folder);

    browser.openMenu();
    EXPECT_TRUE (browser.editor->presetsButton.getToggleState());
    browser.choose (2, 1); // Vocal, Air

    EXPECT_EQ (drive (processor), 20.0f);
    EXPECT_EQ (browser.caption(), "Air");
    EXPECT_EQ (browser.editor->currentPreset, 3);
    EXPECT_FALSE (browser.editor->presetsButton.getToggleState()) << "the menu's closing turns PRESETS off";
    EXPECT_TRUE (EditorTestSupport::menuWindows().empty());
    EXPECT_EQ (browser.editor->presetMenu.getNumItems(), 0) << "the menus are emptied again";
    EXPECT_EQ (browser.editor->vocalMenu.getNumItems(), 0);

    browser.next();
    EXPECT_EQ (drive (processor), 1.0f);
    EXPECT_EQ (browser.caption(), "ld");
}

TEST (PresetMenu, ShortNameLoadsWithAnEmptyCaption)
{
    PresetFolder presets;
    presets.add ("4b.mrv", 44.0f);
    MorvantaProcessor processor;
    Browser browser (processor, presets.folder);

    browser.openMenu();
    browser.choose (1, 1); // Bass is the only category with presets
    EXPECT_EQ (drive (processor), 44.0f);
    EXPECT_EQ (browser.caption(), "");
}

TEST (PresetMenu, DismissingLoadsNothingKeepsTheCaptionAndTurnsTheToggleOff)
{
    PresetFolder presets;
    presets.add ("0-Glue.mrv", 10.0f);
    presets.add ("1-Air.mrv", 20.0f);
    MorvantaProcessor processor;
    Browser browser (processor, presets.folder);
    browser.next();
    setPlain (processor, ParameterIDs::drive, 3.0f);

    browser.openMenu();
    ASSERT_EQ (EditorTestSupport::menuWindows().size(), 1u);
    browser.dismiss();

    EXPECT_TRUE (EditorTestSupport::menuWindows().empty());
    EXPECT_EQ (drive (processor), 3.0f);
    EXPECT_EQ (browser.caption(), "Glue");
    EXPECT_EQ (browser.editor->currentPreset, 1);
    EXPECT_FALSE (browser.editor->presetsButton.getToggleState());
    EXPECT_EQ (browser.editor->presetMenu.getNumItems(), 0);
}

TEST (PresetMenu, OpensOnlyForAPointerClickThatTurnsPresetsOn)
{
    PresetFolder presets;
    presets.add ("0-Glue.mrv", 10.0f);
    MorvantaProcessor processor;
    Browser browser (processor, presets.folder);
    auto& button = browser.editor->presetsButton;

    // A click that did not come from the pointer (as a host's accessibility action would).
    browser.editor.leave();
    button.triggerClick();
    pump();
    EXPECT_TRUE (button.getToggleState());
    EXPECT_TRUE (EditorTestSupport::menuWindows().empty());
    EXPECT_TRUE (browser.editor->presetFiles.isEmpty()) << "not even scanned";

    // With the toggle on, the pointer's click turns it off and opens nothing.
    browser.editor.click (button);
    pump();
    EXPECT_FALSE (button.getToggleState());
    EXPECT_TRUE (EditorTestSupport::menuWindows().empty());
    EXPECT_EQ (browser.editor->presetMenu.getNumItems(), 0);
}

TEST (PresetMenu, APresetAddedWhileOpenIsListedAtTheNextMenu)
{
    PresetFolder presets;
    presets.add ("0-Glue.mrv", 10.0f);
    MorvantaProcessor processor;
    Browser browser (processor, presets.folder);

    browser.next();
    presets.add ("1-Air.mrv", 20.0f);

    // The steps keep their list while it is not empty.
    browser.next();
    EXPECT_EQ (browser.caption(), "Glue");
    EXPECT_EQ (browser.editor->presetFiles.size(), 1);

    browser.openMenu();
    const auto entries = entriesOf (browser.editor->presetMenu);
    ASSERT_EQ (entries.size(), 8u);
    EXPECT_EQ (entries[2].items.size(), 1u) << "Air is listed";
    browser.dismiss();

    browser.next();
    EXPECT_EQ (browser.caption(), "Air");
    EXPECT_EQ (drive (processor), 20.0f);
}

TEST (PresetMenu, ClosingTheEditorWithTheMenuOpenLoadsNothing)
{
    PresetFolder presets;
    presets.add ("0-Glue.mrv", 10.0f);
    MorvantaProcessor processor;
    setPlain (processor, ParameterIDs::drive, 5.0f);

    {
        Browser browser (processor, presets.folder);
        browser.openMenu();
        ASSERT_EQ (EditorTestSupport::menuWindows().size(), 1u);
    }

    pump();
    EXPECT_TRUE (EditorTestSupport::menuWindows().empty());
    EXPECT_EQ (drive (processor), 5.0f);
}

TEST (PresetScan, MatchesAndSortsIgnoringCaseFilesAndFoldersAlikeButNoHiddenOrNested)
{
    PresetFolder presets;
    presets.add ("0-WIDE.MRV", 10.0f);
    presets.add ("0-Bus.mrv", 11.0f);
    presets.add ("0-air.mrv", 12.0f);
    presets.add (".0-Hidden.mrv", 13.0f);
    presets.add ("notes.txt", 14.0f);
    presets.add ("0-Glue.mrv.bak", 15.0f);
    presets.folder.getChildFile ("2-Folder.mrv").createDirectory();
    presets.folder.getChildFile ("nested").createDirectory();
    EditorTestSupport::writePreset (presets.folder.getChildFile ("nested"), "0-Deep.mrv", { { ParameterIDs::drive, 16.0f } });

    MorvantaProcessor processor;
    Browser browser (processor, presets.folder);
    browser.editor->loadPresetFiles();

    EXPECT_EQ (namesOf (browser.editor->presetFiles), juce::StringArray ({ "0-air.mrv", "0-Bus.mrv", "0-WIDE.MRV", "2-Folder.mrv" }));
    EXPECT_EQ (browser.editor->currentPreset, 0) << "a scan leaves the position alone";

    // A folder is handed to the engine like a file; it loads nothing, but the caption follows.
    setPlain (processor, ParameterIDs::drive, 2.0f);
    browser.previous();
    EXPECT_EQ (browser.caption(), "Folder");
    EXPECT_EQ (drive (processor), 2.0f);

    browser.next();
    EXPECT_EQ (browser.caption(), "air");
    EXPECT_EQ (drive (processor), 12.0f);
}
