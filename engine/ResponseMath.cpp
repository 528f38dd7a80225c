#include "engine/ResponseMath.h"

#include <cmath>
#include <complex>

namespace ResponseMath
{
namespace
{
    constexpr int maxChannels = 2; // the convolution plays stereo responses at most
    constexpr float silenceDb = -80.0f;
    constexpr float normalisedEnergy = 0.125f; // square root of the energy a normalised channel keeps
    constexpr float negligibleEnergy = 1.0e-8f;
    constexpr int alignmentPoints = 16;
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

double powerGainAt (const juce::AudioBuffer<float>& response, double hz, double rate)
{
    const auto step = std::polar (1.0, -juce::MathConstants<double>::twoPi * hz / rate);
    double power = 0.0;

    for (int ch = 0; ch < response.getNumChannels(); ++ch)
    {
        std::complex<double> sum, turn (1.0);

        for (int i = 0; i < response.getNumSamples(); ++i, turn *= step)
            sum += static_cast<double> (response.getSample (ch, i)) * turn;

        power += std::norm (sum);
    }

    return power;
}

double alignmentGain (const juce::AudioBuffer<float>& response, double rate)
{
    const auto high = juce::jmin (alignmentHighHz, 0.25 * rate);
    const auto low = juce::jmin (alignmentLowHz, high);
    double sum = 0.0;

    for (int i = 0; i < alignmentPoints; ++i)
        sum += powerGainAt (response, low * std::pow (high / low, i / (alignmentPoints - 1.0)), rate);

    return sum / alignmentPoints;
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

    auto played = resample (trimmed, decodedRate, processRate);

    const auto wanted = alignmentGain (reference, referenceRate);
    const auto has = alignmentGain (played, processRate);

    // A response with nothing in the band is left as the convolution would leave it.
    const auto gain = has > 0.0 && wanted > 0.0 ? static_cast<float> (std::sqrt (wanted / has)) : normalisationGain (played);
    played.applyGain (gain);
    return played;
}
} // namespace ResponseMath
