#include "engine/console/ConsoleCompressor.h"

#include <cmath>

#include "engine/console/CompressorMath.h"

namespace
{
constexpr float minusInfinityDb = -200.0f;
constexpr float shortestTimeMs = 1.0e-3f; // below it the envelope follows instantly
} // namespace

ConsoleCompressor::ConsoleCompressor()
{
    update();
}

void ConsoleCompressor::prepare (const juce::dsp::ProcessSpec& spec)
{
    expFactor = -2.0 * juce::MathConstants<double>::pi * 1000.0 / spec.sampleRate;
    envelopes.assign (spec.numChannels, 0.0f);
    levels.setSize (2, static_cast<int> (juce::jmax (1u, spec.maximumBlockSize)), false, false, false);
    update();
}

void ConsoleCompressor::reset()
{
    std::fill (envelopes.begin(), envelopes.end(), 0.0f);
}

void ConsoleCompressor::setThreshold (float newThresholdDb)
{
    thresholdDb = newThresholdDb;
    update();
}

void ConsoleCompressor::setRatio (float newRatio)
{
    jassert (newRatio >= 1.0f);
    ratio = newRatio;
    update();
}

void ConsoleCompressor::setAttack (float newAttackMs)
{
    attackMs = newAttackMs;
    update();
}

void ConsoleCompressor::setRelease (float newReleaseMs)
{
    releaseMs = newReleaseMs;
    update();
}

void ConsoleCompressor::update()
{
    threshold = juce::Decibels::decibelsToGain (thresholdDb, minusInfinityDb);
    thresholdInverse = 1.0f / threshold;
    gainExponent = 1.0f / ratio - 1.0f;
    attackCoefficient = limitedCoefficient (attackMs);
    releaseCoefficient = limitedCoefficient (releaseMs);
}

float ConsoleCompressor::limitedCoefficient (float timeMs) const noexcept
{
    return timeMs < shortestTimeMs ? 0.0f : static_cast<float> (std::exp (expFactor / timeMs));
}

void ConsoleCompressor::process (const Context& context) noexcept
{
    if (context.isBypassed)
        return;

    const auto& block = context.getOutputBlock();
    const auto numSamples = block.getNumSamples();
    const auto pieceLength = static_cast<size_t> (levels.getNumSamples());

    // Never prepared: there is no envelope to follow (the framework's compressor has none either).
    if (pieceLength == 0)
        return;

    for (size_t start = 0; start < numSamples; start += pieceLength)
        processPiece (block.getSubBlock (start, juce::jmin (pieceLength, numSamples - start)));
}

void ConsoleCompressor::processPiece (const juce::dsp::AudioBlock<float>& block) noexcept
{
    const auto n = static_cast<int> (block.getNumSamples());
    const auto numChannels = juce::jmin (block.getNumChannels(), envelopes.size());
    const float attack = attackCoefficient, release = releaseCoefficient;
    const float limit = threshold, scale = thresholdInverse;

    // One step of the peak envelope, then the level the gain law needs: the envelope over the
    // threshold, or 1 (a gain of exactly 1) below it.
    auto follow = [&] (float input, float& envelope)
    {
        const float magnitude = std::abs (input);
        envelope = magnitude + (magnitude > envelope ? attack : release) * (envelope - magnitude);
        return envelope < limit ? 1.0f : envelope * scale;
    };

    // The envelope is a recursion, sample after sample: two channels at a time keep two of them
    // in flight. The power is not, and runs as SIMD over the whole piece.
    for (size_t ch = 0; ch < numChannels; ch += 2)
    {
        const bool pair = ch + 1 < numChannels;
        auto* first = block.getChannelPointer (ch);
        auto* second = block.getChannelPointer (pair ? ch + 1 : ch);
        auto* firstLevel = levels.getWritePointer (0);
        auto* secondLevel = levels.getWritePointer (1);
        float firstEnvelope = envelopes[ch];
        float secondEnvelope = pair ? envelopes[ch + 1] : 0.0f;

        if (pair)
        {
            for (int i = 0; i < n; ++i)
            {
                firstLevel[i] = follow (first[i], firstEnvelope);
                secondLevel[i] = follow (second[i], secondEnvelope);
            }

            envelopes[ch + 1] = secondEnvelope;
            applyGain (second, secondLevel, n);
        }
        else
        {
            for (int i = 0; i < n; ++i)
                firstLevel[i] = follow (first[i], firstEnvelope);
        }

        envelopes[ch] = firstEnvelope;
        applyGain (first, firstLevel, n);
    }
}

void ConsoleCompressor::applyGain (float* samples, const float* level, int n) const noexcept
{
    const float exponent = gainExponent;

    for (int i = 0; i < n; ++i)
        samples[i] *= CompressorMath::power (level[i], exponent);
}
