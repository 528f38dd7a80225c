#pragma once

#include <array>
#include <cmath>

/** The pure maths of the grain stage: the five drive characters' wave functions, grain
    polynomials, compensation law and low-pass cutoffs. Every function is exact to the float
    operations it spells out, so tests can compare bits. Any thread. */
namespace GrainMath
{
/** Drive-mode numbers as the editor, the engine and the saved state use them. */
enum Mode : int
{
    tape = 0,
    soft = 1,
    tube = 2,
    disto = 3,
    fuzz = 4
};

inline constexpr int numModes = 5;

inline constexpr bool isValidMode (int mode) noexcept { return mode >= 0 && mode < numModes; }

//==============================================================================
// Wave functions: x is one sample after the drive gain.

/** tanh (1.5 x), in double precision. */
inline float tapeWave (float x) noexcept
{
    return static_cast<float> (std::tanh (1.5 * static_cast<double> (x)));
}

/** tanh (0.55 c) / tanh (0.5) with c = x clamped to +-10, written with one expf through
    tanh (a) = (e^(2a) - 1) / (e^(2a) + 1): hence e^(1.1 c), and e + 1 and e - 1 for tanh (0.5). */
inline float softWave (float x) noexcept
{
    const float c = x < -10.0f ? -10.0f : (x > 10.0f ? 10.0f : x);
    const float e = std::exp (static_cast<float> (static_cast<double> (c) * 1.1));
    return ((e - 1.0f) * 3.7182817459106445f) / ((e + 1.0f) * 1.7182817459106445f);
}

/** atan (1.4 x), scaled so that x = 1 gives 1. */
inline float tubeWave (float x) noexcept
{
    return std::atan (x * 1.4f) / 0.9505468606948853f;
}

/** A one-sided threshold rather than a curve: 0 up to 0.4 (negative samples and NaN
        included), 2 / 1.1 above it. */
inline float distoWave (float x) noexcept
{
    const auto d = static_cast<double> (x);
    return static_cast<float> (d > 0.4 ? 2.0 / std::abs (1.1 * d) * d : 0.0);
}

/** Asymmetric exponential: a soft negative side, e^(4 x) - 1, and a hard positive one,
        1 - e^(-10 x). NaN takes the positive branch. */
inline float fuzzWave (float x) noexcept
{
    if (x < 0.0f)
        return std::exp (4.0f * x) - 1.0f;

    return 1.0f - std::exp (-10.0f * x);
}

//==============================================================================
// Antiderivatives of the two characters with hard edges, zero at x = 0, in double precision:
// first-order antiderivative anti-aliasing takes the difference quotient of one over the
// segment between two samples, which cancels far more digits than a float holds.

/** Antiderivative of distoWave: 0 up to the threshold, then the pulse level times the
        distance past it. NaN gives 0, as the wave does. */
inline double distoAntiderivative (double x) noexcept
{
    return x > 0.4 ? 2.0 / 1.1 * (x - 0.4) : 0.0;
}

/** Antiderivative of fuzzWave: e^(4 x) / 4 - x - 1 / 4 below 0, x + e^(-10 x) / 10 - 1 / 10
        above, continuous at 0. */
inline double fuzzAntiderivative (double x) noexcept
{
    if (x < 0.0)
        return std::exp (4.0 * x) * 0.25 - x - 0.25;

    return x + std::exp (-10.0 * x) * 0.1 - 0.1;
}

/** Whether a mode's wave runs through its antiderivative when oversampled: Disto's step and
        Fuzz's knee make harmonics that decay too slowly for oversampling alone. */
inline constexpr bool hasAntiderivative (int mode) noexcept { return mode == disto || mode == fuzz; }

/** Below this distance between two samples the difference quotient is left for the wave at
        their midpoint: it would cancel to noise, and the two agree there. */
inline constexpr double antiderivativeStep = 1.0e-5;

/** First-order antiderivative anti-aliasing of `wave` with antiderivative `integral`: the mean
        of the wave over the straight line from the previous sample x0 (whose antiderivative is
        f0) to x1, whose antiderivative it returns in f1. */
template <typename Wave, typename Integral>
inline float antiderivativeStepOf (Wave wave, Integral integral, float x0, double f0, float x1, double& f1) noexcept
{
    f1 = integral (static_cast<double> (x1));
    const double dx = static_cast<double> (x1) - static_cast<double> (x0);

    if (std::abs (dx) < antiderivativeStep)
        return wave (static_cast<float> (0.5 * (static_cast<double> (x0) + static_cast<double> (x1))));

    return static_cast<float> ((f1 - f0) / dx);
}

using WaveFunction = float (*) (float);

/** The wave function of a valid mode. */
inline WaveFunction waveFor (int mode) noexcept
{
    constexpr std::array<WaveFunction, numModes> waves{ tapeWave, softWave, tubeWave, distoWave, fuzzWave };
    return waves[static_cast<size_t> (mode)];
}

//==============================================================================
inline constexpr int maxCoefficients = 9; // orders 0 to 8

/** Grain polynomial coefficients, lowest order first. Disto's is P (x) = x: its grain step
        is a plain gain of 1 + g. */
struct Coefficients
{
    std::array<float, maxCoefficients> values;
    int count;
};

inline constexpr std::array<Coefficients, numModes> polynomialCoefficients{
    Coefficients{ { 0.0f, 0.0f, 1.0f, 6.6f, 4.0f, 8.0f, 1.0f, 3.0f, 0.3f }, maxCoefficients },
    Coefficients{ { 0.0f, 0.0f, 2.0f, 6.9f, 3.1f, 0.2f, 1.4f, 0.1f, 0.5f }, maxCoefficients },
    Coefficients{ { 0.0f, 0.0f, 1.5f, 5.3f, 6.0f, 4.0f, 1.4f, 2.0f, 2.9f }, maxCoefficients },
    Coefficients{ { 0.0f, 1.0f }, 2 },
    Coefficients{ { 0.0f, 0.0f, 4.0f, 10.5f, 4.0f, 5.0f, 1.0f, 3.0f, 6.0f }, maxCoefficients },
};

//==============================================================================
/** Compensation gain in dB for a mode at a drive of `driveDb` (0 to 50 dB): a tanh law that
        takes back most of the level the drive adds, -k tanh (driveDb / 100) dB with k = 60 for
        Soft, 50 for Tube, 16 for Fuzz (which starts 6 dB down) and 40 for the others. */
inline float compensationDb (int mode, float driveDb) noexcept
{
    const double t = std::tanh (0.01 * static_cast<double> (driveDb));

    switch (mode)
    {
        case soft:
            return static_cast<float> (-60.0 * t);
        case tube:
            return static_cast<float> (-50.0 * t);
        case fuzz:
            return static_cast<float> (-16.0 * t - 6.0);
        case tape:
        case disto:
        default:
            return static_cast<float> (-40.0 * t);
    }
}

/** Low-pass cutoff in Hz once a mode is installed: 6 kHz for Fuzz, 11 kHz for the others but
        Disto, which has none of its own and keeps `previousCutoffHz`. */
inline float cutoffHzFor (int mode, float previousCutoffHz) noexcept
{
    switch (mode)
    {
        case fuzz:
            return 6000.0f;
        case disto:
            return previousCutoffHz;
        default:
            return 11000.0f;
    }
}

/** Cutoff of a freshly built stage, before any mode has been installed over it. */
inline constexpr float initialCutoffHz = 10000.0f;
} // namespace GrainMath
