#include "engine/console/ResponseMath.h"

#include <cmath>

namespace ResponseMath
{
namespace
{
    constexpr int maxChannels = 2; // the convolution plays stereo responses at most
    constexpr float silenceDb = -80.0f;
    constexpr float normalisedEnergy = 0.125f; // square root of the energy a normalised channel keeps
    constexpr float negligibleEnergy = 1.0e-8f;

    // A fit matches the 48 kHz response at points spaced evenly in pitch, as an ear weighs tone:
    // the octaves below 1 kHz, where most of a mix's energy lies, count as much as those above.
    constexpr double lowestFittedHz = 20.0;
    constexpr double pointsPerOctave = 48.0;

    // Enough taps to play the 48 kHz response's delays, which fall between the samples of a rate
    // that is no multiple of 48 kHz, to 16 kHz within a few tenths of a dB and a degree or two.
    constexpr int minimumTaps = 16;

    // Added to the normal equations' diagonal (the mean power over the points is 1): it moves the
    // fit by less than a hundredth of a dB in band, and keeps the taps finite and small where the
    // band is a sliver of the rate's spectrum and nothing above 20 kHz is matched (384 kHz).
    constexpr double tapEnergyWeight = 1.0e-7;
} // namespace

juce::AudioBuffer<float> fitChannels (const juce::AudioBuffer<float>& response)
{
    const int channels = juce::jmin (response.getNumChannels(), maxChannels);
    const int n = response.getNumSamples();

    if (channels == 0 || n == 0)
    {
        juce::AudioBuffer<float> unit (1, 1);
        unit.setSample (0, 0, 1.0f);
        return unit;
    }

    juce::AudioBuffer<float> fitted (channels, n);

    for (int ch = 0; ch < channels; ++ch)
        fitted.copyFrom (ch, 0, response, ch, 0, n);

    return fitted;
}

juce::AudioBuffer<float> trimSilence (const juce::AudioBuffer<float>& response)
{
    const auto threshold = juce::Decibels::decibelsToGain (silenceDb);
    const int channels = response.getNumChannels();
    const int n = response.getNumSamples();
    int first = n, last = -1;

    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < n; ++i)
            if (std::abs (response.getSample (ch, i)) >= threshold)
            {
                first = juce::jmin (first, i);
                last = juce::jmax (last, i);
            }

    if (last < first)
    {
        juce::AudioBuffer<float> silent (juce::jmax (1, channels), 1);
        silent.clear();
        return silent;
    }

    juce::AudioBuffer<float> trimmed (channels, last - first + 1);

    for (int ch = 0; ch < channels; ++ch)
        trimmed.copyFrom (ch, 0, response, ch, first, trimmed.getNumSamples());

    return trimmed;
}

juce::AudioBuffer<float> resample (const juce::AudioBuffer<float>& response, double fromRate, double toRate)
{
    if (fromRate == toRate)
        return response;

    // The steps and their order are the convolution's, so that the samples come out the same.
    const auto readRatio = fromRate / toRate;
    juce::AudioBuffer<float> source (response);
    juce::MemoryAudioSource memory (source, false);
    juce::ResamplingAudioSource resampler (&memory, false, response.getNumChannels());

    const auto length = juce::roundToInt (juce::jmax (1.0, response.getNumSamples() / readRatio));
    resampler.setResamplingRatio (readRatio);
    resampler.prepareToPlay (length, fromRate);

    juce::AudioBuffer<float> result (response.getNumChannels(), length);
    resampler.getNextAudioBlock ({ &result, 0, length });
    return result;
}

float normalisationGain (const juce::AudioBuffer<float>& response)
{
    float loudest = 0.0f;

    // Summed in single precision, sample after sample, as the convolution sums it.
    for (int ch = 0; ch < response.getNumChannels(); ++ch)
    {
        float energy = 0.0f;

        for (int i = 0; i < response.getNumSamples(); ++i)
            energy += response.getSample (ch, i) * response.getSample (ch, i);

        loudest = juce::jmax (loudest, energy);
    }

    return loudest < negligibleEnergy ? 1.0f : normalisedEnergy / std::sqrt (loudest);
}

std::complex<double> transferAt (const float* samples, int length, double hz, double rate)
{
    const auto step = std::polar (1.0, -juce::MathConstants<double>::twoPi * hz / rate);
    std::complex<double> sum, turn (1.0);

    for (int i = 0; i < length; ++i, turn *= step)
        sum += static_cast<double> (samples[i]) * turn;

    return sum;
}

std::complex<double> transferAt (const juce::AudioBuffer<float>& response, int channel, double hz, double rate)
{
    return transferAt (response.getReadPointer (channel), response.getNumSamples(), hz, rate);
}

double fittedBandHz (double rate)
{
    return juce::jmin (audibleBandHz, maxBandFraction * rate);
}

int fittedLength (double samplesAtRate)
{
    const auto length = juce::roundToInt (juce::jmax (1.0, samplesAtRate));
    return length == 1 ? 1 : juce::jmax (length, minimumTaps);
}

std::vector<double> solveSymmetric (std::vector<double> matrix, std::vector<double> rhs)
{
    const auto n = rhs.size();

    // Cholesky, L L^T = matrix, L kept in the lower triangle.
    for (size_t j = 0; j < n; ++j)
    {
        auto diagonal = matrix[j * n + j];

        for (size_t k = 0; k < j; ++k)
            diagonal -= matrix[j * n + k] * matrix[j * n + k];

        if (! (diagonal > 0.0))
            return std::vector<double> (n, 0.0);

        const auto pivot = std::sqrt (diagonal);
        matrix[j * n + j] = pivot;

        for (size_t i = j + 1; i < n; ++i)
        {
            auto sum = matrix[i * n + j];

            for (size_t k = 0; k < j; ++k)
                sum -= matrix[i * n + k] * matrix[j * n + k];

            matrix[i * n + j] = sum / pivot;
        }
    }

    for (size_t i = 0; i < n; ++i)
    {
        for (size_t k = 0; k < i; ++k)
            rhs[i] -= matrix[i * n + k] * rhs[k];

        rhs[i] /= matrix[i * n + i];
    }

    for (size_t i = n; i-- > 0;)
    {
        for (size_t k = i + 1; k < n; ++k)
            rhs[i] -= matrix[k * n + i] * rhs[k];

        rhs[i] /= matrix[i * n + i];
    }

    return rhs;
}

std::vector<double> fitTaps (const float* reference, int referenceLength, double rate, int taps, double bandHz, double ridge)
{
    const auto n = static_cast<size_t> (taps);
    const auto lowHz = juce::jmin (lowestFittedHz, 0.5 * bandHz);
    const auto points = juce::jmax (2, static_cast<int> (std::ceil (pointsPerOctave * std::log2 (bandHz / lowHz))));

    // The squared error summed over the points, with every tap real, makes a Gram matrix that
    // depends only on the taps' distance (Toeplitz): one correlation per distance.
    std::vector<double> correlation (n, 0.0), projection (n, 0.0);

    for (int p = 0; p < points; ++p)
    {
        const auto hz = lowHz * std::pow (bandHz / lowHz, p / (points - 1.0));
        const auto target = transferAt (reference, referenceLength, hz, referenceRate);

        for (size_t i = 0; i < n; ++i)
        {
            const auto turn = std::polar (1.0, juce::MathConstants<double>::twoPi * hz * static_cast<double> (i) / rate);
            correlation[i] += turn.real() / points;
            projection[i] += (target * turn).real() / points;
        }
    }

    std::vector<double> gram (n * n);

    for (size_t i = 0; i < n; ++i)
    {
        for (size_t j = 0; j < n; ++j)
            gram[i * n + j] = correlation[i > j ? i - j : j - i];

        gram[i * n + i] += ridge;
    }

    return solveSymmetric (std::move (gram), std::move (projection));
}

juce::AudioBuffer<float> refit (const juce::AudioBuffer<float>& reference, double rate, int taps)
{
    juce::AudioBuffer<float> fitted (reference.getNumChannels(), taps);

    for (int ch = 0; ch < reference.getNumChannels(); ++ch)
    {
        const auto solution = fitTaps (reference.getReadPointer (ch), reference.getNumSamples(), rate, taps, fittedBandHz (rate), tapEnergyWeight);

        for (int i = 0; i < taps; ++i)
            fitted.setSample (ch, i, static_cast<float> (solution[(size_t) i]));
    }

    return fitted;
}

juce::AudioBuffer<float> forRate (const juce::AudioBuffer<float>& decoded, double decodedRate, double processRate)
{
    const auto trimmed = trimSilence (fitChannels (decoded));
    auto reference = resample (trimmed, decodedRate, referenceRate);
    const auto referenceGain = normalisationGain (reference);

    for (int ch = 0; ch < reference.getNumChannels(); ++ch)
        juce::FloatVectorOperations::multiply (reference.getWritePointer (ch), referenceGain, reference.getNumSamples());

    if (processRate == referenceRate)
        return reference;

    return refit (reference, processRate, fittedLength (trimmed.getNumSamples() * processRate / decodedRate));
}
} // namespace ResponseMath
