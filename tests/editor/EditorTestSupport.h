#pragma once

#include <memory>

#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/PluginEditor.h"
#include "engine/PluginProcessor.h"
#include "tests/support/MessageLoop.h"
#include "tools/look/PointerHover.h"

/** Opening and closing the real editor the way the framework's plug-in wrapper does, and a
    pointer that presses and releases like a user's. */
namespace EditorTestSupport
{
/** Presses and releases the left button over the centre of c, which lies in the desktop window
    `window` (at any depth), as a click does. */
inline void clickIn (juce::Component& window, juce::Component& c)
{
    const auto at = window.getLocalPoint (&c, c.getLocalBounds().getCentre()).toFloat();

#if JUCE_WINDOWS
    // A click on Windows also brings its window's process to the foreground, where a popup menu
    // needs it to be (it closes itself otherwise); a press handed to the peer does not.
    if (! juce::Process::isForegroundProcess())
        window.toFront (true);
#endif

    for (const auto buttons : { juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier), juce::ModifierKeys() })
    {
        // Set first, as the X11 peer does with every event: a popup menu asks for it.
        juce::ModifierKeys::currentModifiers = buttons;
        window.getPeer()->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse,
            at,
            buttons,
            juce::MouseInputSource::defaultPressure,
            juce::MouseInputSource::defaultOrientation,
            juce::Time::currentTimeMillis());
    }
}

/** An editor made by createEditorIfNeeded and released the way the wrapper releases it. */
class OpenEditor
{
public:
    explicit OpenEditor (MorvantaProcessor& p)
        : processor (p)
        , editor (dynamic_cast<MorvantaProcessorEditor*> (p.createEditorIfNeeded()))
    {
    }

    ~OpenEditor() { close(); }

    void close()
    {
        if (editor == nullptr)
            return;

        if (window != nullptr)
        {
            PointerHover::away (*window);
            window->removeFromDesktop();
            window->removeAllChildren();
        }

        processor.editorBeingDeleted (editor.get());
        editor.reset();
        window.reset();
    }

    /** Puts the editor in a window on the desktop, so the pointer can reach it. */
    void showOnDesktop()
    {
        window = std::make_unique<juce::Component>();
        window->setBounds (0, 0, editor->getWidth(), editor->getHeight());
        window->addAndMakeVisible (*editor);
        window->addToDesktop (0);
        window->setVisible (true);
    }

    void hover (juce::Component& c) { PointerHover::over (*window, c); }
    void leave() { PointerHover::away (*window); }

    /** Presses and releases the left button over the centre of c, as a click does. */
    void click (juce::Component& c) { clickIn (*window, c); }

    MorvantaProcessorEditor* operator->() const { return editor.get(); }
    MorvantaProcessorEditor& operator*() const { return *editor; }
    MorvantaProcessorEditor* get() const { return editor.get(); }

private:
    MorvantaProcessor& processor;
    std::unique_ptr<MorvantaProcessorEditor> editor;
    std::unique_ptr<juce::Component> window;
};

/** A preset file holding the given parameter values (IDs and values in their own units). */
inline juce::File writePreset (const juce::File& folder, const juce::String& name, std::initializer_list<std::pair<const char*, float>> values)
{
    juce::ValueTree tree ("Parameters");

    for (const auto& [id, value] : values)
        tree.appendChild (juce::ValueTree ("PARAM", { { "id", id }, { "value", value } }), nullptr);

    auto file = folder.getChildFile (name);
    file.deleteFile();
    juce::FileOutputStream out (file);
    tree.writeToStream (out);
    return file;
}

/** Popup menu windows (main menu and open submenus) on the desktop. */
inline std::vector<juce::Component*> menuWindows()
{
    std::vector<juce::Component*> found;
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* c = desktop.getComponent (i); c != nullptr && c->getName() == "menu")
            found.push_back (c);

    return found;
}

using MessageLoop::pump;
} // namespace EditorTestSupport
