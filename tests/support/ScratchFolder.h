#pragma once

#include <juce_core/juce_core.h>

#include <cstdlib>
#include <string>

/** A folder of its own for one test, removed again when the test is done.

    CTest runs many test processes at once, so a name that is merely unused when it is chosen can
    be chosen by a neighbour too; mkdtemp picks and creates the folder in one step, so no two
    tests ever share or delete each other's files. */
class ScratchFolder
{
public:
    explicit ScratchFolder (const juce::String& prefix = "morvanta")
    {
        auto pattern = juce::File::getSpecialLocation (juce::File::tempDirectory)
                           .getChildFile (prefix + "-XXXXXX")
                           .getFullPathName()
                           .toStdString();

        if (::mkdtemp (pattern.data()) != nullptr)
            folder = juce::File (pattern);
    }

    ~ScratchFolder()
    {
        if (folder != juce::File())
            folder.deleteRecursively();
    }

    ScratchFolder (const ScratchFolder&) = delete;
    ScratchFolder& operator= (const ScratchFolder&) = delete;

    /** The folder; a default File when the temporary directory could not take one. */
    const juce::File& getFile() const noexcept { return folder; }
    bool exists() const { return folder != juce::File() && folder.isDirectory(); }

private:
    juce::File folder;
};
