#include "tools/host/HostWindow.h"

HostWindow::HostWindow (juce::AudioPluginInstance& plugin)
    : editor (plugin.createEditorIfNeeded())
{
    if (editor == nullptr)
        return;

    window.addAndMakeVisible (*editor);
    window.setBounds (0, 0, editor->getWidth(), editor->getHeight());

#if JUCE_WINDOWS
    // On Windows a top-level component that is not opaque becomes a layered window, which Wine
    // never shows; the editor covers all of this one.
    window.setOpaque (true);
#endif
    window.addToDesktop (0);
    window.setVisible (true);
    settle();
}

HostWindow::~HostWindow()
{
    // JUCE 7.0.5's host-side X11 embedding queues a callback holding a raw pointer for each
    // configure event of the plug-in's window: let them run before the editor goes.
    window.setVisible (false);
    pump (250);
    window.removeChildComponent (editor.get());
    editor.reset();
    window.removeFromDesktop();
    pump (50);
}

juce::Rectangle<int> HostWindow::resizeTo (int width, int height)
{
    editor->setSize (width, height);
    window.setSize (editor->getWidth(), editor->getHeight());
    settle();
    return editor->getLocalBounds();
}

void HostWindow::settle()
{
    for (int i = 0; i < 10; ++i)
    {
        pump (20);
        window.setSize (editor->getWidth(), editor->getHeight());
    }
}

void HostWindow::pump (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}
