#include <gtest/gtest.h>

#include "editor/BundleLocation.h"

namespace
{
// Where a bundle holds this platform's module, and where it holds the other platform's, which
// this build must not take for its own.
#ifdef _WIN32
const char* const ownModules[] = { "Contents/x86_64-win/Morvanta.vst3" };
const char* const otherModules[] = { "Contents/x86_64-linux/Morvanta.so", "Contents/aarch64-linux/Morvanta.so" };
#else
const char* const ownModules[] = { "Contents/x86_64-linux/Morvanta.so", "Contents/aarch64-linux/Morvanta.so" };
const char* const otherModules[] = { "Contents/x86_64-win/Morvanta.vst3" };
#endif
} // namespace

TEST (BundleLocation, BundleIsThreeLevelsAboveTheModuleWhenTheFoldersAreABundles)
{
    const auto bundle = juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (".vst3/Morvanta.vst3");
    const auto other = bundle.getSiblingFile ("Other.VST3");

    for (const char* module : ownModules)
    {
        EXPECT_EQ (BundleLocation::bundleFolderOf (bundle.getChildFile (module)), bundle) << module;
        EXPECT_EQ (BundleLocation::bundleFolderOf (other.getChildFile (module)), other) << module;
    }

    // Anything that is not laid out as a bundle of this platform gives no folder, rather than a
    // guess.
    for (const char* module : otherModules)
        EXPECT_EQ (BundleLocation::bundleFolderOf (bundle.getChildFile (module)), juce::File()) << module;

    auto root = bundle;

    while (! root.isRoot())
        root = root.getParentDirectory();

    for (const auto& file : { juce::File::getSpecialLocation (juce::File::currentExecutableFile),
             bundle.getChildFile ("Contents/Morvanta.so"),
             bundle.getChildFile ("Contents/MacOS/Morvanta"),
             bundle.getSiblingFile ("Morvanta").getChildFile (ownModules[0]),
             bundle.getChildFile (juce::String (ownModules[0]).replace ("Contents", "Stuff")),
             root.getChildFile ("Morvanta.so") })
        EXPECT_EQ (BundleLocation::bundleFolderOf (file), juce::File()) << file.getFullPathName();

    EXPECT_EQ (BundleLocation::bundleFolderOf (juce::File()), juce::File());
}

TEST (BundleLocation, CodeLinkedIntoAnExecutableFindsItselfButNoBundle)
{
    const auto module = BundleLocation::moduleFile();
    EXPECT_EQ (module, juce::File::getSpecialLocation (juce::File::currentExecutableFile));
    EXPECT_EQ (BundleLocation::presetFolder(), juce::File());
}
