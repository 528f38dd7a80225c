#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "engine/PluginProcessor.h"
#include "tests/support/MessageLoop.h"
#include "tests/support/RealPointer.h"
#include "tests/support/Signals.h"
#include "tools/display/ScreenPixels.h"
#include "tools/host/HostWindow.h"
#include "tools/host/HostedPlugin.h"
#include "tools/host/PacedAudioThread.h"
#include "tools/host/SavedStateEdit.h"

using MessageLoop::pump;

namespace
{
constexpr double rate = 48000.0;
constexpr int block = 256;

bool haveDisplay()
{
    return juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() != nullptr;
}

/** A grab of the whole X screen with ImageMagick's import, when it is installed (not from the
    Windows build: a Linux program started from a Windows one under Wine cannot be waited for). */
void grabScreen ([[maybe_unused]] const juce::String& name)
{
#ifndef _WIN32
    const auto import = juce::File ("/usr/bin/import");
    if (! import.existsAsFile())
        return;

    juce::ChildProcess grab;

    if (grab.start (juce::StringArray{ import.getFullPathName(), "-window", "root", "-crop", "1800x700+0+0", juce::File (MORVANTA_TEST_OUTPUT_DIR).getChildFile (name).getFullPathName() }))
        grab.waitForProcessToFinish (10000);
#endif
}
/** An instance of the built bundle with a saved state restored, then prepared as a host does. */
std::unique_ptr<juce::AudioPluginInstance> restoredInstance (const juce::MemoryBlock& state)
{
    juce::String error;
    auto plugin = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);

    if (plugin != nullptr)
    {
        plugin->setStateInformation (state.getData(), (int) state.getSize());
        plugin->prepareToPlay (rate, block);
    }

    return plugin;
}

/** The drive-mode and console buttons of a 900 x 350 window, and where its layout places them. */
const char* const buttonNames[] = { "SOFT", "TUBE", "TAPE", "DISTO", "FUZZ", "-", "U", "A", "S", "N" };
const juce::Rectangle<int> buttonBounds[] = { { 255, 52, 72, 36 }, { 334, 52, 72, 36 }, { 414, 52, 72, 36 }, { 493, 52, 72, 36 }, { 572, 52, 72, 36 }, { 334, 314, 33, 33 }, { 384, 314, 33, 33 }, { 433, 314, 33, 33 }, { 483, 314, 33, 33 }, { 532, 314, 33, 33 } };

/** The buttons of the open window that show lit, read off the screen: a button on has an orange
    rim and caption, one off a dark rim and a grey caption. Only what lies inside the ellipse that
    fills each button's bounds counts, so that the panel around it does not. */
std::set<juce::String> litButtons (HostWindow& host)
{
    // Off the window, so that no control shows the pointer over it.
    if (RealPointer::available())
        RealPointer::moveTo ({ 1900, 1060 });

    pump (300);
    const auto screen = ScreenPixels::grab (host.window.getScreenBounds());
    std::set<juce::String> lit;

    for (size_t b = 0; b < std::size (buttonNames); ++b)
    {
        int orange = 0;
        const auto inside = buttonBounds[b].toFloat().reduced (2.0f);

        for (int y = buttonBounds[b].getY(); y < buttonBounds[b].getBottom(); ++y)
            for (int x = buttonBounds[b].getX(); x < buttonBounds[b].getRight(); ++x)
                if (const auto c = screen.getPixelAt (x, y); c.getRed() >= 160 && c.getRed() - c.getBlue() >= 90)
                    orange += juce::square ((x + 0.5f - inside.getCentreX()) / (0.5f * inside.getWidth())) + juce::square ((y + 0.5f - inside.getCentreY()) / (0.5f * inside.getHeight())) <= 1.0f;

        if (orange >= 40)
            lit.insert (buttonNames[b]);
    }

    return lit;
}
} // namespace

TEST (HostedEditor, OpensResizesWithinTheLimitsClosesAndReopensAtTheLastSize)
{
    if (! haveDisplay())
        GTEST_SKIP() << "no display";

    juce::String error;
    auto plugin = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
    ASSERT_NE (plugin, nullptr) << error;
    ASSERT_TRUE (plugin->hasEditor());
    plugin->prepareToPlay (rate, block);

    {
        double phase = 0.0;
        PacedAudioThread audio (*plugin, rate, block, [&phase] (juce::AudioBuffer<float>& buffer)
            {
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                {
                    const auto v = 0.5f * (float) std::sin (phase);
                    phase += juce::MathConstants<double>::twoPi * 110.0 / rate;
                    buffer.setSample (0, i, v);
                    buffer.setSample (1, i, v);
                } });

        {
            HostWindow host (*plugin);
            ASSERT_NE (host.editor, nullptr);
            EXPECT_EQ (host.editor->getLocalBounds(), juce::Rectangle<int> (900, 350));

            EXPECT_EQ (host.resizeTo (1800, 700), juce::Rectangle<int> (1800, 700));
            pump (1000); // the display waits a few ticks with data after each resize
            grabScreen ("hosted-editor-1800.png");

            // Past the maximum, and off the aspect ratio: the plug-in's constraints win.
            const auto tooLarge = host.resizeTo (2400, 900);
            EXPECT_LE (tooLarge.getWidth(), 1800);
            EXPECT_LE (tooLarge.getHeight(), 700);

            const auto offAspect = host.resizeTo (1000, 350);
            EXPECT_NEAR ((double) offAspect.getWidth() / offAspect.getHeight(), 900.0 / 350.0, 0.02) << offAspect.toString();

            const auto tooSmall = host.resizeTo (200, 80);
            EXPECT_GE (tooSmall.getWidth(), 450);
            EXPECT_GE (tooSmall.getHeight(), 175);

            EXPECT_EQ (host.resizeTo (900, 350), juce::Rectangle<int> (900, 350));
            pump (1000);
            grabScreen ("hosted-editor.png");
            EXPECT_EQ (host.resizeTo (1260, 490), juce::Rectangle<int> (1260, 490));
        }

        {
            HostWindow host (*plugin);
            ASSERT_NE (host.editor, nullptr);
            EXPECT_EQ (host.editor->getLocalBounds(), juce::Rectangle<int> (1260, 490)) << "a new view opens at the last size";
        }

        EXPECT_GT (audio.blocks(), 0);
    }

    plugin->releaseResources();
}

TEST (HostedEditor, PresetMenuOfTheBundleLoadsTheChosenPreset)
{
    if (! haveDisplay())
        GTEST_SKIP() << "no display";

    if (! RealPointer::available())
        GTEST_SKIP() << RealPointer::unavailable;

    const auto bundle = HostedPlugin::defaultBundle();
    const auto chosen = bundle.getChildFile ("Contents/Resources/Presets/0-Bus Warmth.mrv");
    ASSERT_TRUE (chosen.existsAsFile()) << "the first Mastering preset of the factory set";

    juce::String error;
    auto plugin = HostedPlugin::load (bundle, rate, block, error);
    ASSERT_NE (plugin, nullptr) << error;
    plugin->prepareToPlay (rate, block);

    // What loading that preset gives, worked out in-process on the file itself.
    MorvantaProcessor expected;
    expected.loadPreset (chosen);

    auto hostValues = [&]
    {
        std::vector<float> values;

        for (int i = 0; i < 15; ++i)
            values.push_back (plugin->getParameters()[i]->getValue());

        return values;
    };

    std::vector<float> expectedValues;

    for (int i = 0; i < 15; ++i)
        expectedValues.push_back (expected.getParameters()[i]->getValue());

    ASSERT_NE (hostValues(), expectedValues) << "the preset must change something";

    {
        HostWindow host (*plugin);
        ASSERT_NE (host.editor, nullptr);
        const auto origin = host.window.getScreenPosition();

        // PRESETS at 900 x 350 lies at (337, 3, 225, 39).
        RealPointer::click (origin + juce::Point<int> (337 + 112, 3 + 19));
        const auto menus = RealPointer::menuWindows();
        ASSERT_EQ (menus.size(), 1u) << "the preset menu opened";
        const auto menu = menus.front();

        // Six category rows of 24 pixels (0.07 x 350) between the two section headers, inside a
        // 2-pixel border; hovering "Mastering", right below "FACTORY", opens it beside the menu.
        const auto headerHeight = (menu.getHeight() - 2 * 2 - 6 * 24) / 2;
        ASSERT_GT (headerHeight, 0);
        const auto mastering = juce::Point<int> (menu.getCentreX(), menu.getY() + 2 + headerHeight + 12);
        RealPointer::moveTo (mastering);
        pump (500);

        const auto open = RealPointer::menuWindows();
        ASSERT_EQ (open.size(), 2u) << "the Mastering submenu opened";
        const auto submenu = open[0] == menu ? open[1] : open[0];
        grabScreen ("hosted-editor-menu.png");

        // Along the row into the submenu, then a click on its first preset.
        RealPointer::moveTo ({ submenu.getX() + 10, mastering.y });
        RealPointer::click ({ submenu.getCentreX(), submenu.getY() + 2 + 12 });
        pump (300);

        EXPECT_TRUE (RealPointer::menuWindows().empty());
        grabScreen ("hosted-editor-preset.png");
    }

    const auto after = hostValues();

    for (int i = 0; i < 15; ++i)
        EXPECT_NEAR (after[(size_t) i], expectedValues[(size_t) i], 1.0e-6f) << plugin->getParameters()[i]->getName (64);

    plugin->releaseResources();
}

TEST (HostedEditor, OpensShowingTheDriveModeAndConsoleThatPlayAndChangesNothingHeard)
{
    if (! haveDisplay())
        GTEST_SKIP() << "no display";

    juce::String error;
    auto project = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
    ASSERT_NE (project, nullptr) << error;

    // Console "U" while "Of Console" is on, as after automation with no window open; then Disto
    // with "N", neither of which has a parameter, with every mode and console parameter off.
    const auto withU = SavedStateEdit::withEngineAttribute (*project, "consoleIndex", '2');

    for (const auto* name : { "Soft Button", "Of Console" })
        HostedPlugin::findParameter (*project, name)->setValueNotifyingHost (0.0f);

    const auto inDisto = SavedStateEdit::withEngineAttribute (*project, "driveMode", '3');
    project->setStateInformation (inDisto.getData(), (int) inDisto.getSize());
    const std::pair<juce::MemoryBlock, std::set<juce::String>> cases[] = { { withU, { "SOFT", "U" } }, { SavedStateEdit::withEngineAttribute (*project, "consoleIndex", '5'), { "DISTO", "N" } } };

    for (const auto& [saved, playing] : cases)
    {
        // Two instances of the project hear the same input; the first opens its window twice.
        std::unique_ptr<juce::AudioPluginInstance> instances[] = { restoredInstance (saved), restoredInstance (saved) };
        ASSERT_TRUE (instances[0] != nullptr && instances[1] != nullptr);
        const int third = (int) rate / block * block;
        const auto input = Signals::make (2, 3 * third, [] (int, int i)
            { return Signals::sine (110.0, rate, i, 0.25f) + Signals::sine (1000.0, rate, i, 0.125f); });
        juce::AudioBuffer<float> heard[2] = { input, input };
        std::unique_ptr<HostWindow> window;
        juce::MidiBuffer midi;

        for (int start = 0; start < 3 * third; start += block)
        {
            if (start % third == 0 && start > 0)
            {
                window = std::make_unique<HostWindow> (*instances[0]);
                EXPECT_EQ (litButtons (*window), playing) << "opening " << start / third;
                window.reset();
            }

            for (int i = 0; i < 2; ++i)
            {
                juce::AudioBuffer<float> view (heard[i].getArrayOfWritePointers(), 2, start, block);
                instances[i]->processBlock (view, midi);
            }
        }

        EXPECT_LE (Signals::differenceDb (heard[1], heard[0], 0), -120.0) << "the instance whose window opened sounds as the other";
    }
}

TEST (HostedEditor, ShowsAndPlaysAStateTheHostRestoresWhileItIsOpen)
{
    if (! haveDisplay())
        GTEST_SKIP() << "no display";

    juce::String error;
    auto project = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
    ASSERT_NE (project, nullptr) << error;

    juce::MemoryBlock defaults;
    project->getStateInformation (defaults);
    // "U" stored while "Of Console" is on, as after automation with no window open; "A" as its
    // button leaves it.
    const auto withU = SavedStateEdit::withEngineAttribute (*project, "consoleIndex", '2');
    const auto setParameter = [&] (const char* name, float value)
    { HostedPlugin::findParameter (*project, name)->setValueNotifyingHost (value); };
    setParameter ("Of Console", 0.0f);
    setParameter ("A Console", 1.0f);
    const auto withA = SavedStateEdit::withEngineAttribute (*project, "consoleIndex", '3');
    setParameter ("A Console", 0.0f);
    setParameter ("Soft Button", 0.0f);

    const auto inDisto = SavedStateEdit::withEngineAttribute (*project, "driveMode", '3');
    project->setStateInformation (inDisto.getData(), (int) inDisto.getSize());
    const auto distoWithN = SavedStateEdit::withEngineAttribute (*project, "consoleIndex", '5');

    // Both play "A"; the first, its window open, goes through other states before it gets "U".
    std::unique_ptr<juce::AudioPluginInstance> instances[] = { restoredInstance (withA), restoredInstance (withA) };
    ASSERT_TRUE (instances[0] != nullptr && instances[1] != nullptr);
    HostWindow window (*instances[0]);

    const std::pair<const juce::MemoryBlock*, std::set<juce::String>> restores[] = { { &distoWithN, { "DISTO", "N" } }, { &defaults, { "SOFT", "-" } }, { &withA, { "SOFT", "A" } }, { &withU, { "SOFT", "U" } } };

    for (const auto& [state, playing] : restores)
    {
        instances[0]->setStateInformation (state->getData(), (int) state->getSize());
        EXPECT_EQ (litButtons (window), playing);
    }

    instances[1]->setStateInformation (withU.getData(), (int) withU.getSize());

    // Offline, each console is built before the next block, so the two are heard alike sample
    // for sample whatever the loader thread's timing.
    const int length = (int) rate / block * block;
    const auto input = Signals::make (2, length, [] (int, int i)
        { return Signals::sine (110.0, rate, i, 0.25f) + Signals::sine (1000.0, rate, i, 0.125f); });
    juce::AudioBuffer<float> heard[2] = { input, input };
    juce::MidiBuffer midi;

    for (int i = 0; i < 2; ++i)
    {
        instances[i]->setNonRealtime (true);

        for (int start = 0; start < length; start += block)
        {
            juce::AudioBuffer<float> view (heard[i].getArrayOfWritePointers(), 2, start, block);
            instances[i]->processBlock (view, midi);
        }
    }

    EXPECT_LE (Signals::differenceDb (heard[1], heard[0], 0), -120.0) << "the instance whose window was open sounds as its twin";
}

TEST (HostedEditor, OversamplingChosenWithThePointerIsSavedAndShownWhenTheProjectReopens)
{
    if (! haveDisplay())
        GTEST_SKIP() << "no display";

    if (! RealPointer::available())
        GTEST_SKIP() << RealPointer::unavailable;

    juce::String error;
    auto project = HostedPlugin::load (HostedPlugin::defaultBundle(), rate, block, error);
    ASSERT_NE (project, nullptr) << error;
    project->prepareToPlay (rate, block);

    // The oversampling button of a 900 x 350 window, read off the screen with nothing hovered.
    const juce::Rectangle<int> button (769, 314, 66, 33);
    const auto buttonPixels = [&] (HostWindow& host)
    {
        RealPointer::moveTo ({ 1900, 1060 });
        pump (150);
        return ScreenPixels::grab (button + host.window.getScreenPosition());
    };
    const auto same = [] (const juce::Image& a, const juce::Image& b)
    {
        if (a.getBounds() != b.getBounds())
            return false;

        for (int y = 0; y < a.getHeight(); ++y)
            for (int x = 0; x < a.getWidth(); ++x)
                if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                    return false;

        return true;
    };

    juce::Image atOne, chosen;

    {
        HostWindow host (*project);
        ASSERT_NE (host.editor, nullptr);
        const auto onButton = host.window.getScreenPosition() + button.getCentre();
        atOne = buttonPixels (host);

        RealPointer::click (onButton);
        const auto menus = RealPointer::menuWindows();
        ASSERT_EQ (menus.size(), 1u) << "the oversampling menu opened";
        grabScreen ("hosted-editor-oversampling.png");

        // "1x", "2x", "4x", "8x" in rows of 24 pixels (0.07 x 350) inside a 2-pixel border.
        const auto menu = menus.front();
        ASSERT_EQ (menu.getHeight(), 4 * 24 + 2 * 2);
        RealPointer::click ({ menu.getCentreX(), menu.getY() + 2 + 2 * 24 + 12 });
        EXPECT_TRUE (RealPointer::menuWindows().empty());
        chosen = buttonPixels (host);
    }

    ASSERT_FALSE (atOne.isNull() || chosen.isNull());
    EXPECT_FALSE (same (chosen, atOne)) << "the button shows the choice";

    juce::MemoryBlock saved;
    project->getStateInformation (saved);
    auto reopened = restoredInstance (saved);
    ASSERT_NE (reopened, nullptr);
    HostWindow host (*reopened);
    EXPECT_TRUE (same (buttonPixels (host), chosen)) << "the reopened project's window shows 4x, as the first did once it was chosen";

    project->releaseResources();
}
