#include "engine/drive/DriveOversampler.h"

#include <cmath>

namespace
{
using Oversampling = juce::dsp::Oversampling<float>;

/** One doubling of the rate, with the framework's half-band equiripple FIR filters on both
    sides: transition widths as fractions of the higher rate, stopbands in dB. */
struct StageDesign
{
    float transitionUp, stopbandUpDb, transitionDown, stopbandDownDb;
};

// Linear phase throughout, so the processed signal stays in phase with the dry one it is mixed
// with at every frequency (minimum-phase stages would comb with it towards the top of the band).
// The first doubling keeps the host's band flat up to 0.42 of its rate (within 0.001 dB to
// 20 kHz at 48 kHz) and stops by 85 dB whatever would fold back below that. A later doubling only has to keep its images and
// aliases out of the band the first one passes, which leaves it a far wider transition and a far
// shorter filter; the drive's harmonics up there are weak enough for 70 dB of stopband.
constexpr std::array<StageDesign, 3> stages{ {
    { 0.08f, -85.0f, 0.08f, -85.0f },
    { 0.25f, -70.0f, 0.25f, -70.0f },
    { 0.40f, -70.0f, 0.40f, -70.0f },
} };

constexpr int indexOf (int factor) noexcept { return factor == 2 ? 0 : (factor == 4 ? 1 : (factor == 8 ? 2 : -1)); }
} // namespace

DriveOversampler::DriveOversampler()
{
    for (size_t i = 0; i < oversamplers.size(); ++i)
    {
        auto os = std::make_unique<Oversampling> (maxChannels);

        for (size_t s = 0; s <= i; ++s)
            os->addOversamplingStage (Oversampling::filterHalfBandFIREquiripple, stages[s].transitionUp, stages[s].stopbandUpDb, stages[s].transitionDown, stages[s].stopbandDownDb);

        // Each doubling's filters delay by a whole number of its own samples, so the total is
        // a whole number of oversampled samples: the residual delay rounds it up to whole host
        // samples exactly, where the framework's own rounding would use an all-pass whose delay
        // falls off towards the top of the band.
        const auto factor = static_cast<double> (os->getOversamplingFactor());
        const auto latency = static_cast<double> (os->getLatencyInSamples());
        latencies[i] = static_cast<int> (std::ceil (latency));
        residuals[i] = static_cast<int> (std::lround ((latencies[i] - latency) * factor));
        jassert (residuals[i] < maxResidual && std::abs ((latencies[i] - latency) * factor - residuals[i]) < 1.0e-6);

        oversamplers[i] = std::move (os);
    }
}

void DriveOversampler::prepare (int maximumBlockSize)
{
    for (auto& os : oversamplers)
        os->initProcessing (static_cast<size_t> (juce::jmax (1, maximumBlockSize)));

    reset();
}

int DriveOversampler::latencyOf (int factor) const noexcept
{
    const int i = indexOf (factor);
    return i < 0 ? 0 : latencies[static_cast<size_t> (i)];
}

juce::dsp::AudioBlock<float> DriveOversampler::up (int factor, const juce::dsp::AudioBlock<float>& block) noexcept
{
    const auto i = static_cast<size_t> (juce::jmax (0, indexOf (factor)));
    auto upsampled = oversamplers[i]->processSamplesUp (block);
    const int delay = residuals[i];
    const int n = static_cast<int> (upsampled.getNumSamples());

    if (delay == 0 || n == 0)
        return upsampled;

    jassert (n >= delay); // a block of one host sample is already `factor` samples long here

    for (size_t ch = 0; ch < upsampled.getNumChannels() && ch < maxChannels; ++ch)
    {
        auto* samples = upsampled.getChannelPointer (ch);
        auto& held = residualHistory[i][ch];
        std::array<float, maxResidual> next{};
        std::copy (samples + n - delay, samples + n, next.begin());
        std::copy_backward (samples, samples + n - delay, samples + n);
        std::copy (held.begin(), held.begin() + delay, samples);
        held = next;
    }

    return upsampled;
}

void DriveOversampler::down (int factor, juce::dsp::AudioBlock<float>& block) noexcept
{
    oversamplers[static_cast<size_t> (juce::jmax (0, indexOf (factor)))]->processSamplesDown (block);
}

void DriveOversampler::reset() noexcept
{
    for (auto& os : oversamplers)
        os->reset();

    for (auto& factor : residualHistory)
        for (auto& channel : factor)
            channel.fill (0.0f);
}
