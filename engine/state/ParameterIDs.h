#pragma once

/** Identifiers of the parameter tree, in the order the host lists them. The IDs are stored in
    host projects and preset files: never rename one. */
namespace ParameterIDs
{
inline constexpr const char* drive = "Drive";
inline constexpr const char* grain = "Grain";
inline constexpr const char* output = "Output";
inline constexpr const char* mix = "Mix";
inline constexpr const char* cleanBass = "CleanBass";
inline constexpr const char* brightness = "Brightness";
inline constexpr const char* softButton = "SoftButton";
inline constexpr const char* tubeButton = "TubeButton";
inline constexpr const char* tapeButton = "TapeButton";
inline constexpr const char* fuzzButton = "FuzzButton";
inline constexpr const char* ofConsole = "OfConsole";
inline constexpr const char* uConsole = "UConsole";
inline constexpr const char* aConsole = "AConsole";
inline constexpr const char* sConsole = "SConsole";
inline constexpr const char* onButton = "onButton";

inline constexpr int parameterVersion = 1;
} // namespace ParameterIDs
