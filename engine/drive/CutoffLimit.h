#pragma once

namespace CutoffLimit
{
/** Highest cutoff, as a fraction of the sample rate, that the engine's fixed-frequency
        filters are given. At or above half the sample rate the bilinear-transform coefficients
        (tan of pi x cutoff / rate) change sign and the filters blow up; 0.45 keeps a margin and
        only touches sample rates low enough that a fixed cutoff in Hz no longer fits. */
inline constexpr double maximumFractionOfSampleRate = 0.45;

/** The cutoff in Hz that a filter running at sampleRate (Hz) actually gets: the requested
        one, or the highest stable one when the request does not fit below Nyquist. */
inline float belowNyquist (float cutoffHz, double sampleRate) noexcept
{
    const auto limit = static_cast<float> (sampleRate * maximumFractionOfSampleRate);
    return cutoffHz < limit ? cutoffHz : limit;
}
} // namespace CutoffLimit
