#include "editor/BundleLocation.h"

#include <dlfcn.h>

namespace BundleLocation
{
juce::File moduleFile()
{
    // dladdr names the object that holds the given address: this very function's module.
    Dl_info info{};

    if (dladdr (reinterpret_cast<const void*> (&moduleFile), &info) == 0 || info.dli_fname == nullptr)
        return {};

    return juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (info.dli_fname));
}

juce::File bundleFolderOf (const juce::File& module)
{
    const auto architecture = module.getParentDirectory();
    const auto contents = architecture.getParentDirectory();
    const auto bundle = contents.getParentDirectory();

    if (module == juce::File() || ! architecture.getFileName().endsWith ("-linux") || contents.getFileName() != "Contents" || ! bundle.getFileName().endsWithIgnoreCase (".vst3"))
        return {};

    return bundle;
}

juce::File presetFolder()
{
    const auto bundle = bundleFolderOf (moduleFile());

    if (bundle == juce::File())
        return {};

    return bundle.getChildFile ("Contents").getChildFile ("Resources").getChildFile ("Presets");
}
} // namespace BundleLocation
