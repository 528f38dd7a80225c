#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

/** The drive characters' smooth curves as the oversampled drive evaluates them, several samples
    at a time: the same functions as GrainMath's, in arithmetic and selects only, where the
    library's scalar calls would leave the drive at eight times the rate spending most of its
    time in them. They agree with GrainMath's to within a few units in the last place; the drive
    at the host's rate keeps GrainMath's own. Any thread. */
namespace OversampledWaves
{
/** Four floats, as one SSE or NEON register holds them (the compiler's generic vectors). */
using Lanes = float __attribute__ ((vector_size (16)));
using LaneBits = std::int32_t __attribute__ ((vector_size (16)));

inline constexpr int lanes = 4;

// The few operations the curves need, for one float and for four.
inline float select (bool condition, float a, float b) noexcept { return condition ? a : b; }
inline Lanes select (LaneBits condition, Lanes a, Lanes b) noexcept { return condition ? a : b; }
inline float magnitude (float x) noexcept { return std::abs (x); }
inline Lanes magnitude (Lanes x) noexcept { return (Lanes) ((LaneBits) x & 0x7fffffff); }
inline float withSignOf (float magnitudeValue, float sign) noexcept { return std::copysign (magnitudeValue, sign); }

inline Lanes withSignOf (Lanes magnitudeValue, Lanes sign) noexcept
{
    return (Lanes) ((LaneBits) magnitudeValue | ((LaneBits) sign & static_cast<std::int32_t> (0x80000000u)));
}

/** atan (x) to within two units in the last place: the argument folded into [0, tan (pi / 8)]
    (through pi / 4 + atan of (x - 1) / (x + 1), or pi / 2 - atan (1 / x)) and an odd polynomial
    there. */
template <typename T>
T atan (T x) noexcept
{
    const T a = magnitude (x);
    const auto beyond = a > 2.414213562373095f; // tan (3 pi / 8)
    const auto middle = a > 0.4142135623730950f; // tan (pi / 8)
    const T r = select (beyond, -1.0f / a, select (middle, (a - 1.0f) / (a + 1.0f), a));
    const T offset = select (beyond, T{} + 1.5707963267948966f, select (middle, T{} + 0.7853981633974483f, T{}));
    const T z = r * r;
    const T p = (((8.05374449538e-2f * z - 1.38776856032e-1f) * z + 1.99777106478e-1f) * z - 3.33329491539e-1f) * z * r + r;
    return withSignOf (offset + p, x);
}

/** GrainMath::tubeWave, through atan above. */
template <typename T>
T tube (T x) noexcept
{
    return OversampledWaves::atan (x * 1.4f) / 0.9505468606948853f;
}

inline float clampTo (float x, float limit) noexcept { return x < -limit ? -limit : (x > limit ? limit : x); }
inline Lanes clampTo (Lanes x, float limit) noexcept { return x < -limit ? -limit + Lanes{} : (x > limit ? limit + Lanes{} : x); }

/** 2^n for whole n within the exponent's range, built from its bits. */
inline float powerOfTwo (float n) noexcept
{
    const auto bits = (static_cast<std::int32_t> (n) + 127) << 23;
    float result;
    std::memcpy (&result, &bits, sizeof (result));
    return result;
}

inline Lanes powerOfTwo (Lanes n) noexcept
{
    return (Lanes) ((__builtin_convertvector(n, LaneBits) + 127) << 23);
}

inline float roundToWhole (float x) noexcept { return std::floor (x + 0.5f); }

inline Lanes roundToWhole (Lanes x) noexcept
{
    const Lanes shifted = x + 0.5f;
    const Lanes truncated = __builtin_convertvector(__builtin_convertvector(shifted, LaneBits), Lanes);
    return select (truncated > shifted, truncated - 1.0f, truncated);
}

/** e^x for x within +-80, to within two units in the last place: x split into n ln 2 + r with
    |r| <= ln 2 / 2 (ln 2 in two parts, so that n ln 2 is exact), a polynomial for e^r, and 2^n
    from its bits. */
template <typename T>
T exp (T x) noexcept
{
    const T n = roundToWhole (x * 1.4426950408889634f);
    const T r = (x - n * 0.693359375f) + n * 2.12194440e-4f;
    const T z = r * r;
    const T p = (((((1.9875691500e-4f * r + 1.3981999507e-3f) * r + 8.3334519073e-3f) * r + 4.1665795894e-2f) * r + 1.6666665459e-1f) * r + 5.0000001201e-1f) * z + r + 1.0f;
    return p * powerOfTwo (n);
}

/** tanh (x) to within a few units in the last place: an odd polynomial below 0.625, where
    1 - 2 / (e^(2 x) + 1) would lose digits, that expression up to 9 and 1 beyond. */
template <typename T>
T tanh (T x) noexcept
{
    const T a = magnitude (x);
    const T z = x * x;
    const T small = ((((-5.70498872745e-3f * z + 2.06390887954e-2f) * z - 5.37397155531e-2f) * z + 1.33314422036e-1f) * z - 3.33332819422e-1f) * z * x + x;
    const T large = withSignOf (1.0f - 2.0f / (OversampledWaves::exp (2.0f * clampTo (a, 9.0f)) + 1.0f), x);
    return select (a < 0.625f, small, large);
}

/** GrainMath::tapeWave, through tanh above. */
template <typename T>
T tape (T x) noexcept
{
    return OversampledWaves::tanh (x * 1.5f);
}

/** GrainMath::softWave, through exp above. */
template <typename T>
T soft (T x) noexcept
{
    const T e = OversampledWaves::exp (clampTo (x, 10.0f) * 1.1f);
    return ((e - 1.0f) * 3.7182817459106445f) / ((e + 1.0f) * 1.7182817459106445f);
}

/** Applies a curve to `n` samples in place, four at a time and then one at a time. */
template <typename Curve>
void apply (float* samples, int n, Curve curve) noexcept
{
    int i = 0;

    for (; i + lanes <= n; i += lanes)
    {
        Lanes x;
        std::memcpy (&x, samples + i, sizeof (x));
        x = curve (x);
        std::memcpy (samples + i, &x, sizeof (x));
    }

    for (; i < n; ++i)
        samples[i] = curve (samples[i]);
}
} // namespace OversampledWaves
