#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/drive/Grain.h"
#include "engine/drive/GrainMath.h"
#include "engine/drive/OversampledWaves.h"

namespace
{
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

// The grain polynomials as a direct sum of powers, in double: an evaluation independent of
// the stage's single-precision Horner.
double powerSum (const std::vector<double>& c, double x)
{
    double sum = 0.0;

    for (size_t i = 0; i < c.size(); ++i)
        sum += c[i] * std::pow (x, static_cast<double> (i));

    return sum;
}
} // namespace

TEST (GrainWaves, TapeIsTanhOfOneAndAHalfX)
{
    EXPECT_EQ (GrainMath::tapeWave (0.0f), 0.0f);
    EXPECT_NEAR (GrainMath::tapeWave (1.0f), 0.9051482536, 1e-7);
    EXPECT_NEAR (GrainMath::tapeWave (-0.2f), -0.2913126125, 1e-7);
    EXPECT_EQ (GrainMath::tapeWave (100.0f), 1.0f);
    EXPECT_EQ (GrainMath::tapeWave (-infinity), -1.0f);
}

TEST (GrainWaves, SoftIsAScaledTanhClampedAtTen)
{
    for (const float x : { -9.5f, -3.0f, -0.4f, 0.0f, 0.25f, 1.0f, 4.0f, 9.99f })
        EXPECT_NEAR (GrainMath::softWave (x), std::tanh (0.55 * x) / std::tanh (0.5), 2e-6) << x;

    EXPECT_NEAR (GrainMath::softWave (1.0f / 1.1f), 1.0f, 1e-6f);

    const float top = GrainMath::softWave (10.0f);
    EXPECT_NEAR (top, 2.1638813f, 1e-6f);
    EXPECT_NEAR (GrainMath::softWave (-10.0f), -2.1638813f, 1e-6f);

    for (const float beyond : { 10.5f, 1000.0f, 3.0e38f, infinity })
    {
        EXPECT_EQ (GrainMath::softWave (beyond), top) << beyond;
        EXPECT_EQ (GrainMath::softWave (-beyond), GrainMath::softWave (-10.0f)) << -beyond;
    }
}

TEST (GrainWaves, TubeReachesOneAtOne)
{
    EXPECT_NEAR (GrainMath::tubeWave (1.0f), 1.0f, 2e-7f);
    EXPECT_EQ (GrainMath::tubeWave (0.0f), 0.0f);
    EXPECT_EQ (GrainMath::tubeWave (-0.6f), -GrainMath::tubeWave (0.6f));
    EXPECT_NEAR (GrainMath::tubeWave (0.5f), std::atan (0.7) / std::atan (1.4), 1e-6);
    EXPECT_NEAR (GrainMath::tubeWave (infinity), (juce::MathConstants<double>::halfPi) / std::atan (1.4), 1e-6);
}

TEST (GrainWaves, DistoIsAOneSidedThresholdAtPointFour)
{
    const auto high = static_cast<float> (2.0 / 1.1);

    // The test is made in double: the float nearest 0.4 lies just above it and is already high.
    for (const float below : { std::nextafter (0.4f, 0.0f), 0.39f, 0.0f, -0.0f, -0.41f, -5.0f, -infinity, notANumber })
        EXPECT_EQ (GrainMath::distoWave (below), 0.0f) << below;

    for (const float above : { 0.4f, std::nextafter (0.4f, 1.0f), 0.41f, 0.5f, 1.0f, 7.3f, 1.0e30f })
        EXPECT_EQ (GrainMath::distoWave (above), high) << above;

    EXPECT_NEAR (high, 1.8181818f, 2e-7f);
}

TEST (GrainWaves, FuzzIsAsymmetricAndNanTakesThePositiveBranch)
{
    EXPECT_EQ (GrainMath::fuzzWave (0.0f), 0.0f);
    EXPECT_NEAR (GrainMath::fuzzWave (0.1f), 1.0 - std::exp (-1.0), 1e-7);
    EXPECT_NEAR (GrainMath::fuzzWave (-0.25f), std::exp (-1.0) - 1.0, 1e-7);
    EXPECT_EQ (GrainMath::fuzzWave (-infinity), -1.0f);
    EXPECT_EQ (GrainMath::fuzzWave (infinity), 1.0f);

    // NaN goes through 1 - expf (-10 x) and stays NaN rather than being mistaken for negative.
    EXPECT_TRUE (std::isnan (GrainMath::fuzzWave (notANumber)));
}

TEST (GrainWaves, EachModeMapsToItsFunction)
{
    EXPECT_EQ (GrainMath::waveFor (GrainMath::tape), &GrainMath::tapeWave);
    EXPECT_EQ (GrainMath::waveFor (GrainMath::soft), &GrainMath::softWave);
    EXPECT_EQ (GrainMath::waveFor (GrainMath::tube), &GrainMath::tubeWave);
    EXPECT_EQ (GrainMath::waveFor (GrainMath::disto), &GrainMath::distoWave);
    EXPECT_EQ (GrainMath::waveFor (GrainMath::fuzz), &GrainMath::fuzzWave);
}

TEST (GrainPolynomials, EvaluateTheTabledCoefficients)
{
    const Grain<float> stage;

    const std::vector<std::vector<double>> table{
        { 0, 0, 1.0, 6.6, 4.0, 8.0, 1.0, 3.0, 0.3 },
        { 0, 0, 2.0, 6.9, 3.1, 0.2, 1.4, 0.1, 0.5 },
        { 0, 0, 1.5, 5.3, 6.0, 4.0, 1.4, 2.0, 2.9 },
        { 0, 1.0 },
        { 0, 0, 4.0, 10.5, 4.0, 5.0, 1.0, 3.0, 6.0 },
    };

    for (int mode = 0; mode < GrainMath::numModes; ++mode)
    {
        SCOPED_TRACE (mode);
        const auto& p = stage.modePolynomials[static_cast<size_t> (mode)];

        for (const float x : { -0.9f, -0.3f, 0.0f, 0.125f, 0.5f, 0.8f })
        {
            const double expected = powerSum (table[static_cast<size_t> (mode)], x);
            EXPECT_NEAR (p (x), expected, 1e-5 * (1.0 + std::abs (expected))) << "x = " << x;
        }
    }

    // Disto's polynomial is exactly P(x) = x, with no higher terms to overflow.
    for (const float x : { -3.5f, 0.0f, 0.1f, 1.0e20f })
        EXPECT_EQ (stage.modePolynomials[GrainMath::disto](x), x);

    // Every other mode has no constant or linear term: silence stays silent.
    for (const int mode : { 0, 1, 2, 4 })
        EXPECT_EQ (stage.modePolynomials[static_cast<size_t> (mode)](0.0f), 0.0f);
}

TEST (GrainCompensation, FollowsTheTanhLawPerMode)
{
    for (int mode = 0; mode < GrainMath::numModes; ++mode)
        EXPECT_EQ (GrainMath::compensationDb (mode, 0.0f), mode == GrainMath::fuzz ? -6.0f : 0.0f) << mode;

    const double t = std::tanh (0.5);
    EXPECT_NEAR (GrainMath::compensationDb (GrainMath::tape, 50.0f), -40.0 * t, 1e-5);
    EXPECT_NEAR (GrainMath::compensationDb (GrainMath::disto, 50.0f), -40.0 * t, 1e-5);
    EXPECT_NEAR (GrainMath::compensationDb (GrainMath::soft, 50.0f), -60.0 * t, 1e-5);
    EXPECT_NEAR (GrainMath::compensationDb (GrainMath::tube, 50.0f), -50.0 * t, 1e-5);
    EXPECT_NEAR (GrainMath::compensationDb (GrainMath::fuzz, 50.0f), -16.0 * t - 6.0, 1e-5);

    EXPECT_NEAR (GrainMath::compensationDb (GrainMath::tape, 50.0f), -18.48, 0.01);
    EXPECT_NEAR (GrainMath::compensationDb (GrainMath::soft, 50.0f), -27.73, 0.01);
    EXPECT_NEAR (GrainMath::compensationDb (GrainMath::tube, 50.0f), -23.11, 0.01);
    EXPECT_NEAR (GrainMath::compensationDb (GrainMath::fuzz, 50.0f), -13.39, 0.01);
}

TEST (GrainCutoffs, DistoKeepsWhateverWasInstalledBefore)
{
    EXPECT_EQ (GrainMath::cutoffHzFor (GrainMath::tape, 6000.0f), 11000.0f);
    EXPECT_EQ (GrainMath::cutoffHzFor (GrainMath::soft, 6000.0f), 11000.0f);
    EXPECT_EQ (GrainMath::cutoffHzFor (GrainMath::tube, 6000.0f), 11000.0f);
    EXPECT_EQ (GrainMath::cutoffHzFor (GrainMath::fuzz, 11000.0f), 6000.0f);
    EXPECT_EQ (GrainMath::cutoffHzFor (GrainMath::disto, 6000.0f), 6000.0f);
    EXPECT_EQ (GrainMath::cutoffHzFor (GrainMath::disto, 11000.0f), 11000.0f);
    EXPECT_EQ (GrainMath::cutoffHzFor (GrainMath::disto, GrainMath::initialCutoffHz), 10000.0f);
}

TEST (GrainAntiderivatives, DifferentiateToTheWaveAndAverageItOverASegment)
{
    // The slope of each antiderivative is its wave, away from the edges where the wave jumps.
    for (const double x : { -3.0, -0.7, -0.01, 0.02, 0.3, 0.39, 0.41, 0.9, 4.0 })
    {
        constexpr double h = 1.0e-6;
        const auto slope = [&] (auto integral)
        { return (integral (x + h) - integral (x - h)) / (2.0 * h); };
        EXPECT_NEAR (slope (GrainMath::fuzzAntiderivative), GrainMath::fuzzWave (static_cast<float> (x)), 1e-5) << x;
        EXPECT_NEAR (slope (GrainMath::distoAntiderivative), GrainMath::distoWave (static_cast<float> (x)), 1e-5) << x;
    }

    EXPECT_EQ (GrainMath::fuzzAntiderivative (0.0), 0.0);
    EXPECT_EQ (GrainMath::distoAntiderivative (0.0), 0.0);
    EXPECT_EQ (GrainMath::distoAntiderivative (std::nan ("")), 0.0) << "NaN stays silent, as the wave does";

    const auto step = [] (auto wave, auto integral, float x0, float x1)
    {
        double f1 = 0.0;
        return GrainMath::antiderivativeStepOf (wave, integral, x0, integral (static_cast<double> (x0)), x1, f1);
    };

    // A segment that crosses Disto's threshold hears the pulse for the part of it above.
    const double high = 2.0 / 1.1;
    EXPECT_NEAR (step (GrainMath::distoWave, GrainMath::distoAntiderivative, 0.2f, 0.6f), high * (0.6 - 0.4) / (0.6 - 0.2), 1e-6);
    EXPECT_NEAR (step (GrainMath::distoWave, GrainMath::distoAntiderivative, 0.6f, 0.2f), high * 0.5, 1e-6) << "either direction";
    EXPECT_EQ (step (GrainMath::distoWave, GrainMath::distoAntiderivative, -0.5f, 0.3f), 0.0f);

    // Fuzz's mean over [-0.5, 0.5] worked out by hand: (F (0.5) - F (-0.5)) / 1.
    const double expected = (0.5 + std::exp (-5.0) / 10.0 - 0.1) - (std::exp (-2.0) / 4.0 + 0.5 - 0.25);
    EXPECT_NEAR (step (GrainMath::fuzzWave, GrainMath::fuzzAntiderivative, -0.5f, 0.5f), expected, 1e-6);

    // Samples closer than the quotient can resolve hear the wave at their midpoint, also where
    // the difference of two large antiderivatives would cancel to noise.
    for (const float x : { -2.0f, 0.0f, 0.25f, 0.4f, 0.7f, 30.0f })
    {
        const float x1 = std::nextafter (x, 100.0f);
        EXPECT_EQ (step (GrainMath::fuzzWave, GrainMath::fuzzAntiderivative, x, x), GrainMath::fuzzWave (x)) << x;
        EXPECT_NEAR (step (GrainMath::fuzzWave, GrainMath::fuzzAntiderivative, x, x1), GrainMath::fuzzWave (x), 1e-5) << x;
        EXPECT_NEAR (step (GrainMath::distoWave, GrainMath::distoAntiderivative, x1, x), GrainMath::distoWave (0.5f * (x + x1)), 1e-6) << x;
    }

    for (int mode = 0; mode < GrainMath::numModes; ++mode)
        EXPECT_EQ (GrainMath::hasAntiderivative (mode), mode == GrainMath::fuzz || mode == GrainMath::disto) << mode;
}

TEST (OversampledWaves, FollowTheDriveCurvesToWithinAFewUlpFourAtATimeAsOneByOne)
{
    // Units in the last place of the float nearest the exact value.
    const auto ulps = [] (float value, double exact)
    { return std::abs (static_cast<double> (value) - exact) / std::max (std::numeric_limits<float>::denorm_min(), std::nextafter (std::abs (static_cast<float> (exact)), infinity) - std::abs (static_cast<float> (exact))); };
    double worstAtan = 0.0, worstExp = 0.0, worstTanh = 0.0, worstTube = 0.0, worstTape = 0.0, softDistance = 0.0;

    for (float x = -40.0f; x <= 40.0f; x += 0.000731f)
    {
        worstAtan = std::max (worstAtan, ulps (OversampledWaves::atan (x), std::atan (static_cast<double> (x))));
        worstTanh = std::max (worstTanh, ulps (OversampledWaves::tanh (x), std::tanh (static_cast<double> (x))));
        worstExp = std::max (worstExp, ulps (OversampledWaves::exp (x * 2.0f), std::exp (static_cast<double> (x * 2.0f))));
        worstTube = std::max (worstTube, ulps (OversampledWaves::tube (x), std::atan (1.4 * x) / std::atan (1.4)));
        worstTape = std::max (worstTape, ulps (OversampledWaves::tape (x), std::tanh (1.5 * x)));
        softDistance = std::max (softDistance, static_cast<double> (std::abs (OversampledWaves::soft (x) - GrainMath::softWave (x))));
    }

    EXPECT_LE (worstAtan, 2.0);
    EXPECT_LE (worstExp, 2.0);
    EXPECT_LE (worstTanh, 3.0);
    EXPECT_LE (worstTube, 4.0);
    EXPECT_LE (worstTape, 4.0);
    // Soft's own formula cancels digits near 0 (e^x - 1) however e^x is worked out, so the two
    // are held to an absolute bound: two units in the last place at the curve's top (2.16).
    EXPECT_LE (softDistance, 4.8e-7);

    for (const float edge : { 0.0f, 1.0e-30f, 0.4142135f, 2.4142137f, 0.625f, 9.0f, 80.0f, infinity })
    {
        EXPECT_LE (ulps (OversampledWaves::atan (edge), std::atan (static_cast<double> (edge))), 2.0) << edge;
        EXPECT_EQ (OversampledWaves::atan (-edge), -OversampledWaves::atan (edge)) << edge;
        EXPECT_EQ (OversampledWaves::tanh (-edge), -OversampledWaves::tanh (edge)) << edge;
        EXPECT_LE (std::abs (OversampledWaves::tanh (edge)), 1.0f) << edge;
    }

    // The same arithmetic four at a time: a block and its tail sound alike to the bit.
    float block[11], oneByOne[11];

    for (int i = 0; i < 11; ++i)
        block[i] = oneByOne[i] = -3.0f + 0.61f * static_cast<float> (i);

    OversampledWaves::apply (block, 11, [] (auto x)
        { return OversampledWaves::tape (x) + OversampledWaves::soft (x) + OversampledWaves::tube (x); });

    for (auto& x : oneByOne)
        x = OversampledWaves::tape (x) + OversampledWaves::soft (x) + OversampledWaves::tube (x);

    EXPECT_EQ (std::memcmp (block, oneByOne, sizeof (block)), 0);
}
