#include <gtest/gtest.h>

#include "editor/BundleLocation.h"

TEST (BundleLocation, BundleIsThreeLevelsAboveTheModuleWhenTheFoldersAreABundles)
{
    const juce::File bundle ("/home/user/.vst3/Morvanta.vst3");
    EXPECT_EQ (BundleLocation::bundleFolderOf (bundle.getChildFile ("Contents/x86_64-linux/Morvanta.so")), bundle);
    EXPECT_EQ (BundleLocation::bundleFolderOf (bundle.getChildFile ("Contents/aarch64-linux/Morvanta.so")), bundle);
    EXPECT_EQ (BundleLocation::bundleFolderOf (juce::File ("/x/Other.VST3/Contents/x86_64-linux/Other.so")), juce::File ("/x/Other.VST3"));

    // Anything that is not laid out as a bundle gives no folder, rather than a guess.
    for (const char* path : { "/usr/bin/morvanta_unit_tests",
             "/home/user/.vst3/Morvanta.vst3/Contents/Morvanta.so",
             "/home/user/.vst3/Morvanta.vst3/Contents/MacOS/Morvanta",
             "/home/user/.vst3/Morvanta/Contents/x86_64-linux/Morvanta.so",
             "/home/user/.vst3/Morvanta.vst3/Stuff/x86_64-linux/Morvanta.so",
             "/Morvanta.so" })
        EXPECT_EQ (BundleLocation::bundleFolderOf (juce::File (path)), juce::File()) << path;

    EXPECT_EQ (BundleLocation::bundleFolderOf (juce::File()), juce::File());
}

TEST (BundleLocation, CodeLinkedIntoAnExecutableFindsItselfButNoBundle)
{
    const auto module = BundleLocation::moduleFile();
    EXPECT_EQ (module, juce::File::getSpecialLocation (juce::File::currentExecutableFile));
    EXPECT_EQ (BundleLocation::presetFolder(), juce::File());
}
