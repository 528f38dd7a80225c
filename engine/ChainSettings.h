#pragma once

#include <array>

#include <juce_dsp/juce_dsp.h>

#include "engine/drive/CutoffLimit.h"

/** The fixed tuning of the processor's own filters and gains around the drive and console
    stages, shared by its construction, preparation and chunk chain. */
namespace ChainSettings
{
inline constexpr double shelfSmoothingSeconds = 0.5;
inline constexpr double outputRampSeconds = 0.3;
inline constexpr float shelfQ = 0.4f;
inline constexpr float cleanShelfHz = 140.0f;
inline constexpr float cleanShelfGain = 0.001f; // -60 dB: leaves only the low end of the clean copy
inline constexpr float brightShelfHz = 7000.0f;
// Shelf gain factor 1 + 0.1 x Brightness (0.1 as a float): 0.1 (-20 dB) at -9, flat at 0, 2.8 at 18.
inline constexpr float brightGainPerUnit = 0.10000000149011612f;
// Clean-bass gain in dB: 2.5 dB per unit of Clean Bass from -10 dB at 0 (unity at 4, +40 dB at 20).
inline constexpr double cleanBassDbPerUnit = 2.5;
inline constexpr double cleanBassCutAtZeroDb = 10.0;
inline constexpr double gainExponentPerDb = 0.05000000074505806; // 1 / 20 as a float: gain = 10^(dB / 20)
// The filters' design rate until the first preparation gives them the real one.
inline constexpr double rateBeforePreparation = 44100.0;
inline constexpr int minWorkChannels = 2; // the work copies have room for stereo even under a mono layout
inline constexpr float percent = 100.0f; // "Mix" is in percent
inline constexpr float onThreshold = 0.5f; // boolean parameters: strictly above is on

// At rates where 7 kHz no longer fits below Nyquist the shelf's poles leave the unit circle
// (even a flat shelf then blows up), so its corner moves down with the rate.
inline std::array<float, 6> brightShelf (double sampleRate, float gainFactor)
{
    return juce::dsp::IIR::ArrayCoefficients<float>::makeHighShelf (sampleRate, CutoffLimit::belowNyquist (brightShelfHz, sampleRate), shelfQ, gainFactor);
}
} // namespace ChainSettings
