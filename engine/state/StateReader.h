#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include <juce_core/juce_core.h>

/** Reads the host state that MorvantaProcessor::getStateInformation writes (JUCE's
    XML-in-binary: a magic number, the text length, the UTF-8 text). Depends on juce_core only,
    so the fuzz target builds it as the plug-in does. */
namespace StateReader
{
/** The saved XML, or nullptr unless the whole text is present and parses cleanly. JUCE's
        own reader parses whatever part of the text is there, so a truncated blob would apply
        half a project. Any thread; allocates. */
std::unique_ptr<juce::XmlElement> parse (const void* data, int sizeInBytes);

/** Lowest and highest drive-stage cutoff, in Hz, that a saved state may bring back. */
inline constexpr double minimumCutoffHz = 20.0;
inline constexpr double maximumCutoffHz = 40000.0;

/** The drive-stage cutoff in Hz that a saved state's attribute holds: plain decimal digits
        with at most one point, within minimumCutoffHz to maximumCutoffHz. Anything else (absent,
        signs, exponents, trailing text, out of range) is no value. Any thread; no locale. */
std::optional<float> cutoffHz (const juce::String& attribute);

/** The drive stage's oversampling factor that a saved state's attribute holds: "2", "4" or
        "8" exactly; anything else (absent, "1", signs, spaces, other numbers) is 1, no
        oversampling. Any thread. */
int oversamplingFactor (const juce::String& attribute);
} // namespace StateReader
