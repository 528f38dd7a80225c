#include "engine/drive/Grain.h"

#include "engine/drive/OversampledWaves.h"

namespace
{
template <typename Curve>
void shapePlain (float* samples, int n, float& last, Curve curve) noexcept
{
    if (n > 0)
        last = samples[n - 1];

    OversampledWaves::apply (samples, n, curve);
}

template <typename Wave, typename Integral>
void shapeAveraged (float* samples, int n, float& last, Wave wave, Integral integral) noexcept
{
    auto x0 = last;
    auto f0 = integral (static_cast<double> (x0));

    for (int i = 0; i < n; ++i)
    {
        const auto x1 = samples[i];
        double f1 = 0.0;
        samples[i] = GrainMath::antiderivativeStepOf (wave, integral, x0, f0, x1, f1);
        x0 = x1;
        f0 = f1;
    }

    last = x0;
}

/** One mode's wave at the oversampled rate, through its antiderivative where it has one: the
    output for x1 after x0, whose antiderivative f0 becomes x1's. */
float shapeSample (int mode, float x0, double& f0, float x1) noexcept
{
    if (mode == GrainMath::disto)
        return GrainMath::antiderivativeStepOf (GrainMath::distoWave, GrainMath::distoAntiderivative, x0, f0, x1, f0);

    if (mode == GrainMath::fuzz)
        return GrainMath::antiderivativeStepOf (GrainMath::fuzzWave, GrainMath::fuzzAntiderivative, x0, f0, x1, f0);

    if (mode == GrainMath::tape)
        return OversampledWaves::tape (x1);

    if (mode == GrainMath::soft)
        return OversampledWaves::soft (x1);

    return OversampledWaves::tube (x1);
}

double integralAt (int mode, float x) noexcept
{
    if (mode == GrainMath::disto)
        return GrainMath::distoAntiderivative (static_cast<double> (x));

    if (mode == GrainMath::fuzz)
        return GrainMath::fuzzAntiderivative (static_cast<double> (x));

    return 0.0;
}
} // namespace

template <typename SampleType>
void Grain<SampleType>::applyOversampled (const Context& context)
{
    auto& block = context.getOutputBlock();
    const auto n = static_cast<int> (block.getNumSamples());
    auto up = oversampler.up (oversampling, block);

    applyGrainPolynomial (up, oversampledGrain, oversampling);
    oversampledDriveGain.process (juce::dsp::ProcessContextReplacing<SampleType> (up));
    applyWaveOversampled (up);

    oversampler.down (oversampling, block);

    shaper.template get<compensationGainIndex>().process (context);
    shaper.template get<lowPassIndex>().process (context);

    if (fadePosition != -1)
        fadePosition = fadePosition + n < fadeLength ? fadePosition + n : -1;
}

template <typename SampleType>
void Grain<SampleType>::applyWaveOversampled (const juce::dsp::AudioBlock<SampleType>& block)
{
    const auto n = static_cast<int> (block.getNumSamples());
    const auto numChannels = juce::jmin (block.getNumChannels(), lastDriven.size());

    for (size_t ch = 0; ch < numChannels; ++ch)
    {
        auto* samples = block.getChannelPointer (ch);
        auto& last = lastDriven[ch];

        if (fadePosition != -1)
        {
            double f0 = integralAt (installedMode, last);
            double previousF0 = integralAt (previousMode, last);

            for (int i = 0; i < n; ++i)
            {
                const auto x1 = samples[i];
                const auto w = fadeWeight (i, oversampling);
                const auto now = shapeSample (installedMode, last, f0, x1);
                const auto before = shapeSample (previousMode, last, previousF0, x1);
                samples[i] = now * w + (1 - w) * before;
                last = x1;
            }

            continue;
        }

        // The mode is known for the whole block: each loop inlines its own wave.
        switch (installedMode)
        {
            case GrainMath::tape:
                shapePlain (samples, n, last, [] (auto x)
                    { return OversampledWaves::tape (x); });
                break;
            case GrainMath::soft:
                shapePlain (samples, n, last, [] (auto x)
                    { return OversampledWaves::soft (x); });
                break;
            case GrainMath::tube:
                shapePlain (samples, n, last, [] (auto x)
                    { return OversampledWaves::tube (x); });
                break;
            case GrainMath::disto:
                shapeAveraged (samples, n, last, GrainMath::distoWave, GrainMath::distoAntiderivative);
                break;
            case GrainMath::fuzz:
            default:
                shapeAveraged (samples, n, last, GrainMath::fuzzWave, GrainMath::fuzzAntiderivative);
                break;
        }
    }
}

template void Grain<float>::applyOversampled (const Context&);
template void Grain<float>::applyWaveOversampled (const juce::dsp::AudioBlock<float>&);
