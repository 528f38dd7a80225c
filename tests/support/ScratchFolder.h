#pragma once

#include <juce_core/juce_core.h>

#include <cstdlib>
#include <stdexcept>
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

        // Throwing fails the test that asked: a test writing into an unnamed folder would
        // scatter its files wherever the empty path resolves.
        if (::mkdtemp (pattern.data()) == nullptr)
            throw std::runtime_error ("no scratch folder could be made in the temporary directory");

        folder = juce::File (pattern);
    }

    ~ScratchFolder() { folder.deleteRecursively(); }

    ScratchFolder (const ScratchFolder&) = delete;
    ScratchFolder& operator= (const ScratchFolder&) = delete;

    const juce::File& getFile() const noexcept { return folder; }
    bool exists() const { return folder.isDirectory(); }

private:
    juce::File folder;
};
