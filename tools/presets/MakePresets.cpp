// Builds the factory preset files from their readable source (presets/FactoryPresets.txt):
//
//     morvanta-make-presets <source.txt> <output folder>
//
// Each preset becomes "<file name>.mrv", a juce::ValueTree stream with the root "Parameters" and
// one "PARAM" child ("id", "value") per parameter, in the order of the parameter tree. The build
// fails on anything in the source that the plug-in could not load as intended.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include <juce_data_structures/juce_data_structures.h>

#include "engine/state/ParameterIDs.h"

namespace
{
using namespace ParameterIDs;

const char* const floatIds[] = { drive, grain, output, mix, cleanBass, brightness };
const char* const modeIds[] = { softButton, tubeButton, tapeButton, fuzzButton };
const char* const consoleIds[] = { ofConsole, uConsole, aConsole, sConsole };
const char* const parameterOrder[] = { drive, grain, output, mix, cleanBass, brightness, softButton, tubeButton, tapeButton, fuzzButton, ofConsole, uConsole, aConsole, sConsole, onButton };

struct Preset
{
    juce::String fileName;
    int line = 0;
    std::map<juce::String, double> values;
};

template <size_t n>
bool contains (const char* const (&ids)[n], const juce::String& id)
{
    return std::any_of (std::begin (ids), std::end (ids), [&] (const char* candidate)
        { return id == candidate; });
}

[[noreturn]] void fail (const juce::String& where, const juce::String& what)
{
    std::fprintf (stderr, "%s: %s\n", where.toRawUTF8(), what.toRawUTF8());
    std::exit (1);
}

bool parseNumber (const juce::String& text, double& value)
{
    const auto utf8 = text.toStdString();
    char* end = nullptr;
    value = std::strtod (utf8.c_str(), &end);
    return ! utf8.empty() && end == utf8.c_str() + utf8.size() && std::isfinite (value);
}

std::vector<Preset> parse (const juce::File& source)
{
    juce::StringArray lines;
    source.readLines (lines);

    std::vector<Preset> presets;

    for (int i = 0; i < lines.size(); ++i)
    {
        const auto where = source.getFileName() + ":" + juce::String (i + 1);
        const auto line = lines[i].trim();

        if (line.isEmpty() || line.startsWithChar ('#'))
            continue;

        if (line.startsWithChar ('[') && line.endsWithChar (']'))
        {
            presets.push_back ({ line.substring (1, line.length() - 1), i + 1, {} });
            continue;
        }

        if (presets.empty() || ! line.containsChar ('='))
            fail (where, "expected \"[file name]\" or \"ID = value\"");

        const auto id = line.upToFirstOccurrenceOf ("=", false, false).trim();
        double value = 0.0;

        if (! parseNumber (line.fromFirstOccurrenceOf ("=", false, false).trim(), value))
            fail (where, "not a number: " + line);

        if (! contains (parameterOrder, id))
            fail (where, "no parameter has the ID " + id);

        if (! presets.back().values.emplace (id, value).second)
            fail (where, id + " given twice");
    }

    return presets;
}

int countOn (const Preset& preset, const char* const (&ids)[4])
{
    int on = 0;

    for (const auto* id : ids)
        on += preset.values.at (id) == 1.0 ? 1 : 0;

    return on;
}

void check (const Preset& preset, const juce::File& source)
{
    const auto where = source.getFileName() + ":" + juce::String (preset.line);
    const auto& name = preset.fileName;

    // The browser files a preset under its first character and hides the first two.
    if (name.length() < 3 || ! juce::String ("012345").containsChar (name[0]) || name[1] != '-')
        fail (where, "a preset's file name is a category digit 0 to 5, \"-\" and the shown name: " + name);

    if (name.containsAnyOf ("/\\:*?\"<>|") || name != name.trim())
        fail (where, "not usable as a file name: " + name);

    for (const auto* id : parameterOrder)
        if (preset.values.count (id) == 0)
            fail (where, name + " has no value for " + id);

    for (const auto& [id, value] : preset.values)
    {
        if (! contains (floatIds, id) && value != 0.0 && value != 1.0)
            fail (where, name + ": " + id + " is a button, 0 or 1");
    }

    if (countOn (preset, modeIds) > 1)
        fail (where, name + ": at most one drive-mode button may be on");

    if (countOn (preset, consoleIds) != 1)
        fail (where, name + ": exactly one console button must be on");

    if (preset.values.at (onButton) != 1.0)
        fail (where, name + ": a preset switches the effect on");
}

void write (const Preset& preset, const juce::File& folder)
{
    juce::ValueTree state ("Parameters");

    for (const auto* id : parameterOrder)
    {
        juce::ValueTree child ("PARAM");
        child.setProperty ("id", juce::String (id), nullptr);
        child.setProperty ("value", preset.values.at (id), nullptr);
        state.appendChild (child, nullptr);
    }

    const auto file = folder.getChildFile (preset.fileName + ".mrv");
    juce::FileOutputStream out (file);

    if (! out.openedOk() || ! out.setPosition (0) || out.truncate().failed())
        fail (file.getFullPathName(), "cannot be written");

    state.writeToStream (out);
    out.flush();

    if (out.getStatus().failed())
        fail (file.getFullPathName(), out.getStatus().getErrorMessage());
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf (stderr, "usage: morvanta-make-presets <source.txt> <output folder>\n");
        return 2;
    }

    const juce::File source (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    const juce::File folder (juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]));

    if (! source.existsAsFile())
        fail (source.getFullPathName(), "not found");

    const auto presets = parse (source);

    if (presets.empty())
        fail (source.getFullPathName(), "holds no preset");

    juce::StringArray names;

    for (const auto& preset : presets)
    {
        check (preset, source);

        // Two names that differ only in case would be one file on a case-insensitive disk.
        if (names.contains (preset.fileName, true))
            fail (source.getFileName() + ":" + juce::String (preset.line), "duplicate preset " + preset.fileName);

        names.add (preset.fileName);
    }

    if (! folder.createDirectory())
        fail (folder.getFullPathName(), "cannot be created");

    for (const auto& preset : presets)
        write (preset, folder);

    return 0;
}
