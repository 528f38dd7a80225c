#pragma once

#include <cmath>
#include <complex>
#include <vector>

/** Spectral measurements for the tests, in double precision and independent of the engine's
    own transforms: a Kaiser-windowed power spectrum, the share of a tone's output that lies on
    no harmonic (aliasing), and third-octave band levels. */
namespace Spectrum
{
/** Power per bin (0 to n / 2) of `n` samples (a power of two), through a Kaiser window whose
        side lobes lie far below anything measured (beta 38: under -300 dB), so that energy off
        the harmonics is the signal's and not the window's. */
inline std::vector<double> power (const float* samples, int n)
{
    constexpr double beta = 38.0;
    auto besselI0 = [] (double x)
    {
        double sum = 1.0, term = 1.0;

        for (int k = 1; k < 200 && term > sum * 1.0e-17; ++k)
        {
            term *= (x / (2.0 * k)) * (x / (2.0 * k));
            sum += term;
        }

        return sum;
    };

    std::vector<std::complex<double>> data (static_cast<size_t> (n));
    const double norm = besselI0 (beta);

    for (int i = 0; i < n; ++i)
    {
        const double r = 2.0 * i / (n - 1) - 1.0;
        data[static_cast<size_t> (i)] = static_cast<double> (samples[i]) * besselI0 (beta * std::sqrt (std::max (0.0, 1.0 - r * r))) / norm;
    }

    for (int i = 1, j = 0; i < n; ++i)
    {
        int bit = n >> 1;

        for (; j & bit; bit >>= 1)
            j ^= bit;

        j ^= bit;

        if (i < j)
            std::swap (data[static_cast<size_t> (i)], data[static_cast<size_t> (j)]);
    }

    for (int length = 2; length <= n; length <<= 1)
    {
        const auto step = std::polar (1.0, -2.0 * M_PI / length);

        for (int start = 0; start < n; start += length)
        {
            std::complex<double> w (1.0);

            for (int k = 0; k < length / 2; ++k, w *= step)
            {
                auto& a = data[static_cast<size_t> (start + k)];
                auto& b = data[static_cast<size_t> (start + k + length / 2)];
                const auto t = b * w;
                b = a - t;
                a += t;
            }
        }
    }

    std::vector<double> result (static_cast<size_t> (n / 2 + 1));

    for (size_t k = 0; k < result.size(); ++k)
        result[k] = std::norm (data[k]);

    return result;
}

/** Energy from `lowHz` to `highHz` that lies on no harmonic of `toneHz`, against the energy on
        them, in dB: how far the aliases of a driven tone stay below its harmonics. Bins within
        16 of a harmonic (the window's main lobe) count as on it. */
inline double offHarmonicDb (const float* samples, int n, double rate, double toneHz, double lowHz = 20.0, double highHz = 20000.0)
{
    const auto bins = power (samples, n);
    const double binHz = rate / n;
    constexpr double lobeBins = 16.0;
    double on = 0.0, off = 0.0;

    for (size_t k = 0; k < bins.size(); ++k)
    {
        const double hz = static_cast<double> (k) * binHz;

        if (hz < lowHz || hz > highHz)
            continue;

        const double nearest = std::max (1.0, std::round (hz / toneHz)) * toneHz;
        (std::abs (hz - nearest) <= lobeBins * binHz ? on : off) += bins[k];
    }

    return 10.0 * std::log10 (off / on);
}

/** Centre frequencies of the third-octave bands from 31.5 Hz to 16 kHz (base-ten, 10^(k / 10)). */
inline std::vector<double> thirdOctaveCentres()
{
    std::vector<double> centres;

    for (int k = 15; k <= 42; ++k)
        centres.push_back (std::pow (10.0, k / 10.0));

    return centres;
}

/** Level in dB of each third-octave band of thirdOctaveCentres, from the power spectra of
        consecutive stretches of `n` samples (a power of two) averaged over the whole signal. */
inline std::vector<double> thirdOctaveLevelsDb (const float* samples, int total, double rate, int n = 8192)
{
    std::vector<double> sum (static_cast<size_t> (n / 2 + 1), 0.0);

    for (int start = 0; start + n <= total; start += n / 2)
    {
        const auto bins = power (samples + start, n);

        for (size_t k = 0; k < bins.size(); ++k)
            sum[k] += bins[k];
    }

    std::vector<double> levels;

    for (const double centre : thirdOctaveCentres())
    {
        const double low = centre * std::pow (2.0, -1.0 / 6.0), high = centre * std::pow (2.0, 1.0 / 6.0);
        double energy = 0.0;

        for (size_t k = 0; k < sum.size(); ++k)
            if (const double hz = static_cast<double> (k) * rate / n; hz >= low && hz < high)
                energy += sum[k];

        levels.push_back (10.0 * std::log10 (energy));
    }

    return levels;
}
} // namespace Spectrum
