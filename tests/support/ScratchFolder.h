#pragma once

#include <juce_core/juce_core.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

/** A folder of its own for one test, removed again when the test is done.

    CTest runs many test processes at once, so a name that is merely unused when it is chosen can
    be chosen by a neighbour too: the folder is made under a random name by one call that fails
    when the name exists (as mkdir does on Linux and on Windows), and another name is tried, so
    no two tests ever share or delete each other's files. */
class ScratchFolder
{
public:
    explicit ScratchFolder (const juce::String& prefix = "morvanta")
    {
        const auto temporary = juce::File::getSpecialLocation (juce::File::tempDirectory);
        juce::Random random; // seeded from the clock: neighbours started together still differ below

        for (int attempt = 0; attempt < 100; ++attempt)
        {
            const auto name = prefix + "-" + juce::String::toHexString (random.nextInt64() ^ juce::Time::getHighResolutionTicks());
            const auto candidate = temporary.getChildFile (name);
            std::error_code error;

            if (std::filesystem::create_directory (std::filesystem::u8path (candidate.getFullPathName().toRawUTF8()), error))
            {
                folder = candidate;
                return;
            }
        }

        // Throwing fails the test that asked: a test writing into an unnamed folder would
        // scatter its files wherever the empty path resolves.
        throw std::runtime_error ("no scratch folder could be made in the temporary directory");
    }

    ~ScratchFolder() { folder.deleteRecursively(); }

    ScratchFolder (const ScratchFolder&) = delete;
    ScratchFolder& operator= (const ScratchFolder&) = delete;

    const juce::File& getFile() const noexcept { return folder; }
    bool exists() const { return folder.isDirectory(); }

private:
    juce::File folder;
};
