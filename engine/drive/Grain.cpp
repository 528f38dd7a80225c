#include "engine/drive/Grain.h"

#include "engine/drive/CutoffLimit.h"
#include "engine/dsp/Crossfade.h"

namespace
{
constexpr double gainRampSeconds = 0.3;
constexpr double grainRampSeconds = 0.1;
constexpr float trimDb = -2.0f;

// The two polynomial lengths: up to the eighth order, and Disto's P (x) = x.
constexpr int fullCount = GrainMath::maxCoefficients;
constexpr int linearCount = GrainMath::polynomialCoefficients[GrainMath::disto].count;
} // namespace

template <typename SampleType>
std::array<juce::dsp::Polynomial<SampleType>, GrainMath::numModes> Grain<SampleType>::makeModePolynomials()
{
    std::array<Polynomial, GrainMath::numModes> result;

    for (size_t m = 0; m < result.size(); ++m)
    {
        const auto& source = GrainMath::polynomialCoefficients[m];
        std::array<SampleType, GrainMath::maxCoefficients> values{};

        for (size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<SampleType> (source.values[i]);

        result[m] = Polynomial (values.data(), source.count);
    }

    return result;
}

template <typename SampleType>
Grain<SampleType>::Grain()
    : modePolynomials (makeModePolynomials())
{
    setWave();

    // A new stage runs Tape through a 10 kHz low-pass; the mode's own cutoff arrives with the
    // next installation of a mode.
    shaper.template get<lowPassIndex>().setType (juce::dsp::FirstOrderTPTFilterType::lowpass);
    setCutoff (GrainMath::initialCutoffHz);
}

template <typename SampleType>
int Grain<SampleType>::currentMode() const noexcept
{
    const int mode = driveMode.load (std::memory_order_relaxed);
    return GrainMath::isValidMode (mode) ? mode : installedMode;
}

template <typename SampleType>
void Grain<SampleType>::applyCutoff()
{
    shaper.template get<lowPassIndex>().setCutoffFrequency (CutoffLimit::belowNyquist (static_cast<float> (cutoffHz), sampleRate));
}

template <typename SampleType>
void Grain<SampleType>::setCutoff (SampleType hz)
{
    cutoffHz = hz;
    applyCutoff();
    playing.store ({ installedMode, static_cast<float> (hz) });
}

template <typename SampleType>
void Grain<SampleType>::prepare (const juce::dsp::ProcessSpec& spec, int oversamplingFactor)
{
    fadeLength = Crossfade::lengthInSamples (spec.sampleRate);
    fadePosition = -1;
    waveInitialised = false;

    auto& driveGain = shaper.template get<driveGainIndex>();
    auto& compensationGain = shaper.template get<compensationGainIndex>();
    auto& lowPass = shaper.template get<lowPassIndex>();

    driveGain.prepare (spec);
    compensationGain.prepare (spec);
    lowPass.prepare (spec);
    sampleRate = spec.sampleRate;
    applyCutoff();

    driveGain.setRampDurationSeconds (gainRampSeconds);
    compensationGain.setRampDurationSeconds (gainRampSeconds);
    trim.prepare (spec);
    trim.setRampDurationSeconds (gainRampSeconds);

    grainSmoothed.reset (spec.sampleRate, grainRampSeconds);
    grainSmoothed.setTargetValue (0);

    driveGain.reset();
    compensationGain.reset();
    lowPass.reset();

    oversampler.prepare (static_cast<int> (spec.maximumBlockSize));
    oversampledDriveGain.setRampDurationSeconds (gainRampSeconds);
    oversampling = oversamplingFactor;
    prepareOversampledRate();
}

template <typename SampleType>
void Grain<SampleType>::prepareOversampledRate()
{
    const auto rate = sampleRate * oversampling;
    oversampledDriveGain.prepare ({ rate, 1, 1 });
    oversampledGrain.reset (rate, grainRampSeconds);
    oversampler.reset();
    lastDriven.fill (0.0f);
}

template <typename SampleType>
void Grain<SampleType>::setOversampling (int factor) noexcept
{
    oversampling = factor;
    prepareOversampledRate();

    // The smoothers of the rate left behind stood still meanwhile: they start again at their
    // targets rather than ramp from where they stopped.
    shaper.template get<driveGainIndex>().reset();
    grainSmoothed.setCurrentAndTargetValue (grainSmoothed.getTargetValue());
}

template <typename SampleType>
void Grain<SampleType>::process (const Context& context, float drive, float grain)
{
    driveDb = static_cast<SampleType> (drive);
    compensationDb = static_cast<SampleType> (GrainMath::compensationDb (currentMode(), drive));

    grainSmoothed.setTargetValue (static_cast<SampleType> (grain));
    oversampledGrain.setTargetValue (static_cast<SampleType> (grain));

    shaper.template get<driveGainIndex>().setGainDecibels (driveDb);
    shaper.template get<compensationGainIndex>().setGainDecibels (compensationDb);
    oversampledDriveGain.setGainDecibels (driveDb);

    if (oversampling == 1)
    {
        applyGrainPolynomial (context.getOutputBlock());
        applyShaper (context);
    }
    else
    {
        applyOversampled (context);
    }

    trim.setGainDecibels (static_cast<SampleType> (trimDb));
    trim.process (context);

    setWave();
    waveInitialised = true;
}

namespace
{
/** x + g P (x) for every sample, P of `count` coefficients evaluated as juce::dsp::Polynomial
    does (Horner, highest order first), so the result is the same to the bit; with the count
    known here the loop runs as SIMD. */
template <int count, typename SampleType, typename Polynomial>
void addScaledPolynomial (SampleType* samples, int n, const Polynomial& p, SampleType g) noexcept
{
    std::array<SampleType, static_cast<size_t> (count)> c;

    for (int k = 0; k < count; ++k)
        c[static_cast<size_t> (k)] = p[k];

    for (int i = 0; i < n; ++i)
    {
        const auto x = samples[i];
        SampleType y (0);

        for (int k = count; --k >= 0;)
            y = (x * y) + c[static_cast<size_t> (k)];

        samples[i] = y * g + x;
    }
}
} // namespace

template <typename SampleType>
void Grain<SampleType>::applyGrainPolynomial (const juce::dsp::AudioBlock<SampleType>& block, juce::SmoothedValue<SampleType, juce::ValueSmoothingTypes::Linear>& amount, int factor)
{
    const auto numChannels = block.getNumChannels();
    const auto count = GrainMath::polynomialCoefficients[static_cast<size_t> (installedMode)].count;

    // Steady amount, no crossfade: the amount the smoother hands out is its target throughout.
    if (fadePosition == -1 && ! amount.isSmoothing() && (count == fullCount || count == linearCount))
    {
        const auto g = amount.getTargetValue() / static_cast<SampleType> (100);

        for (size_t ch = 0; ch < numChannels; ++ch)
        {
            auto* samples = block.getChannelPointer (ch);
            const auto n = static_cast<int> (block.getNumSamples());

            if (count == fullCount)
                addScaledPolynomial<fullCount> (samples, n, *polynomial, g);
            else
                addScaledPolynomial<linearCount> (samples, n, *polynomial, g);
        }

        return;
    }

    const auto n = static_cast<int> (block.getNumSamples());
    const auto& p = *polynomial;
    const auto& previous = *previousPolynomial;

    for (size_t ch = 0; ch < numChannels; ++ch)
    {
        auto* samples = block.getChannelPointer (ch);

        for (int i = 0; i < n; ++i)
        {
            const auto x = samples[i];
            const auto g = amount.getNextValue() / static_cast<SampleType> (100);

            if (fadePosition != -1)
            {
                const auto w = fadeWeight (i, factor);
                samples[i] = ((p (x) * w) + ((1 - w) * previous (x))) * g + x;
            }
            else
            {
                samples[i] = p (x) * g + x;
            }
        }
    }
}

template <typename SampleType>
void Grain<SampleType>::applyShaper (const Context& context)
{
    if (fadePosition == -1)
    {
        shaper.process (context);
        return;
    }

    shaper.template get<driveGainIndex>().process (context);

    const auto& block = context.getOutputBlock();
    const auto n = static_cast<int> (block.getNumSamples());
    const auto& wave = shaper.template get<waveShaperIndex>().functionToUse;

    for (size_t ch = 0; ch < block.getNumChannels(); ++ch)
    {
        auto* samples = block.getChannelPointer (ch);

        for (int i = 0; i < n; ++i)
        {
            const auto x = samples[i];
            const auto w = fadeWeight (i);
            samples[i] = wave (x) * w + (1 - w) * previousWave (x);
        }
    }

    shaper.template get<compensationGainIndex>().process (context);
    shaper.template get<lowPassIndex>().process (context);

    fadePosition = fadePosition + n < fadeLength ? fadePosition + n : -1;
}

template <typename SampleType>
SampleType Grain<SampleType>::fadeWeight (int i, int factor) const noexcept
{
    const auto w = static_cast<SampleType> (fadePosition * factor + i + 1) / static_cast<SampleType> (fadeLength * factor);
    return juce::jmin (static_cast<SampleType> (1), w);
}

template <typename SampleType>
void Grain<SampleType>::setWave()
{
    const int mode = currentMode();

    if (mode == installedMode)
    {
        takeRestoredCutoff();
        return;
    }

    auto& waveShaper = shaper.template get<waveShaperIndex>();

    if (waveInitialised && fadeLength >= 1)
    {
        // Holds a plain function pointer: copying it never allocates.
        previousWave = waveShaper.functionToUse;
        previousMode = installedMode;
        previousPolynomial = polynomial;
        fadePosition = 0;
    }

    waveShaper.functionToUse = GrainMath::waveFor (mode);
    polynomial = &modePolynomials[static_cast<size_t> (mode)];
    installedMode = mode;
    setCutoff (static_cast<SampleType> (GrainMath::cutoffHzFor (mode, static_cast<float> (cutoffHz))));
    takeRestoredCutoff();
}

template <typename SampleType>
void Grain<SampleType>::takeRestoredCutoff()
{
    auto restore = restoredCutoff.load();

    if (restore == noRestore)
        return;

    // A restore publishes the mode before the cutoff, so the chunk after the one that first
    // saw the cutoff has its mode installed unless the mode was changed since.
    const bool forThisMode = restore.mode == installedMode;

    if (! forThisMode && ! (restore == restoreSeen))
    {
        restoreSeen = restore;
        return;
    }

    // Published before the restore is cleared: a reader that finds no restore finds its cutoff.
    if (forThisMode)
        setCutoff (static_cast<SampleType> (restore.cutoffHz));

    // Only this restore is cleared; a newer one waits for its own mode.
    restoredCutoff.compare_exchange_strong (restore, noRestore);
    restoreSeen = noRestore;
}

template <typename SampleType>
void Grain<SampleType>::restoreCutoff (ModeCutoff restore) noexcept
{
    restoredCutoff.store (restore);
}

template <typename SampleType>
float Grain<SampleType>::cutoffHzOf (int mode) const noexcept
{
    // The restore first: once the audio thread clears it, the cutoff it applied is published.
    const auto restore = restoredCutoff.load();

    if (restore.mode == mode)
        return restore.cutoffHz;

    const auto now = playing.load();
    return now.mode == mode ? now.cutoffHz : GrainMath::cutoffHzFor (mode, now.cutoffHz);
}

template <typename SampleType>
void Grain<SampleType>::resetSignalState()
{
    shaper.template get<lowPassIndex>().reset();
    oversampler.reset();
    lastDriven.fill (0.0f);
}

template class Grain<float>;
