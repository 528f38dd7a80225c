#include "editor/BundleLocation.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace BundleLocation
{
#ifdef _WIN32
constexpr const char* architectureSuffix = "-win";

juce::File moduleFile()
{
    // The module that holds the given address (this very function), without counting a reference
    // to it, and that module's full path.
    HMODULE module = nullptr;

    if (! GetModuleHandleExW (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR> (&moduleFile),
            &module))
        return {};

    // Long paths are allowed up to 32767 characters.
    std::wstring path (32768, L'\0');
    const auto length = GetModuleFileNameW (module, path.data(), (DWORD) path.size());

    if (length == 0 || length >= path.size())
        return {};

    return juce::File (juce::String (path.c_str(), (size_t) length));
}
#else
constexpr const char* architectureSuffix = "-linux";

juce::File moduleFile()
{
    // dladdr names the object that holds the given address: this very function's module.
    Dl_info info{};

    if (dladdr (reinterpret_cast<const void*> (&moduleFile), &info) == 0 || info.dli_fname == nullptr)
        return {};

    return juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (info.dli_fname));
}
#endif

juce::File bundleFolderOf (const juce::File& module)
{
    const auto architecture = module.getParentDirectory();
    const auto contents = architecture.getParentDirectory();
    const auto bundle = contents.getParentDirectory();

    if (module == juce::File() || ! architecture.getFileName().endsWith (architectureSuffix) || contents.getFileName() != "Contents" || ! bundle.getFileName().endsWithIgnoreCase (".vst3"))
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
