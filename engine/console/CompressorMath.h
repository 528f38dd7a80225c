#pragma once

#include <cstdint>
#include <cstring>

/** The console compressor's gain law without a libm call per sample: a power built from float
    operations that a compiler turns into SIMD over a block. Any thread. */
namespace CompressorMath
{
/** x to the power `exponent`, for a positive normal float x and an exponent in [-1, 0] (a
    compressor's 1 / ratio - 1): within 3 float roundings of std::pow, exactly 1 at x = 1. Results
    that would fall below the smallest normal float come out as it. */
inline float power (float x, float exponent) noexcept
{
    // Single precision: 23 fraction bits under an exponent biased by 127; normal numbers have
    // exponents from -126 to 127.
    constexpr int fractionBits = 23;
    constexpr std::int32_t exponentBias = 127;
    constexpr float minExponent = -126.0f, maxExponent = 127.0f;

    // x = m 2^k with m in [sqrt (1/2), sqrt (2)); 0x3f3504f3 holds the bits of sqrt (1/2).
    std::int32_t bits;
    std::memcpy (&bits, &x, sizeof (bits));
    const std::int32_t k = (bits - 0x3f3504f3) >> fractionBits;
    const auto mantissaBits = static_cast<std::int32_t> (static_cast<std::uint32_t> (bits) - (static_cast<std::uint32_t> (k) << fractionBits));
    float m;
    std::memcpy (&m, &mantissaBits, sizeof (m));

    // log2 (m) = 2 / ln 2 (t + t^3 / 3 + t^5 / 5 + ...), t = (m - 1) / (m + 1), |t| < 0.172:
    // the terms after t^9 stay below 1e-9.
    const float f = m - 1.0f;
    const float t = f / (f + 2.0f);
    const float t2 = t * t;
    const float log2m = t * (2.8853900817779268f + t2 * (0.9617966939259756f + t2 * (0.5770780163555853f + t2 * (0.41219858311113236f + t2 * 0.32059889797532516f))));

    // exponent x (k + log2 m), with the exponent split so that its high part times k is exact:
    // for large x the rounding of that product would otherwise dominate the error. Clearing 8
    // fraction bits leaves 16 significant ones, and k needs at most 8.
    std::int32_t exponentBits;
    std::memcpy (&exponentBits, &exponent, sizeof (exponentBits));
    exponentBits &= ~0xff;
    float high;
    std::memcpy (&high, &exponentBits, sizeof (high));
    const float low = exponent - high;
    const auto kf = static_cast<float> (k);
    const float yHigh = high * kf;
    const float yLow = low * kf + exponent * log2m;

    // 2^y = 2^n 2^r with n the nearest integer (adding and removing 1.5 x 2^23 rounds) and
    // |r| <= 1/2; the Taylor series of e^(r ln 2) to r^7 leaves less than 6e-9.
    constexpr float roundingShift = 12582912.0f;
    const float n = ((yHigh + yLow) + roundingShift) - roundingShift;
    const float r = (yHigh - n) + yLow;
    const float p = 1.0f + r * (0.6931471805599453f + r * (0.2402265069591007f + r * (0.05550410866482158f + r * (0.009618129107628477f + r * (0.0013333558146428443f + r * (0.00015403530393381606f + r * 1.525273380405984e-05f))))));

    const float clamped = n < minExponent ? minExponent : (n > maxExponent ? maxExponent : n);
    const auto scaleBits = static_cast<std::uint32_t> (static_cast<std::int32_t> (clamped) + exponentBias) << fractionBits;
    float scale;
    std::memcpy (&scale, &scaleBits, sizeof (scale));
    return p * scale;
}
} // namespace CompressorMath
