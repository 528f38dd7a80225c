#pragma once

#include <juce_core/juce_core.h>

/**
    Where the plug-in's own bundle lies. A VST3 bundle on Linux holds the module at
    Morvanta.vst3/Contents/x86_64-linux/Morvanta.so, on Windows at
    Morvanta.vst3/Contents/x86_64-win/Morvanta.vst3; inside a plug-in the framework's
    currentApplicationFile is that module file, not the bundle, so the bundle is found from the
    module's own location. Any thread.
*/
namespace BundleLocation
{
/** The file of the loaded module that holds this code: the plug-in's shared object, or the
    executable when the code is linked into one. */
juce::File moduleFile();

/** The bundle folder of a module file laid out as <name>.vst3/Contents/<architecture>-linux/<file>
    (<architecture>-win on Windows), or an empty juce::File when the module is not inside such a
    bundle. */
juce::File bundleFolderOf (const juce::File& module);

/** The bundle's Contents/Resources/Presets folder, where the factory presets are; an empty
    juce::File when the code does not run from inside a bundle. */
juce::File presetFolder();
} // namespace BundleLocation
