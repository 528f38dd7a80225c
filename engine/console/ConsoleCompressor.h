#pragma once

#include <vector>

#include <juce_dsp/juce_dsp.h>

/**
    The console stage's compressor: juce::dsp::Compressor's peak envelope, threshold and gain
    law, with the same float operations for the envelope and the threshold. Only the power in
    the gain, (envelope / threshold)^(1 / ratio - 1) above the threshold, is computed for a whole
    chunk at once (CompressorMath::power, within 3 float roundings of std::pow) instead of by a
    libm call per sample.

    Settings are juce::dsp::Compressor's: threshold in dB, ratio (at least 1), attack and release
    in ms, each taking effect at once. prepare wherever prepareToPlay runs; everything else on
    the audio thread, allocation-free.
*/
class ConsoleCompressor
{
public:
    using Context = juce::dsp::ProcessContextReplacing<float>;

    ConsoleCompressor();

    /** Sizes the envelopes and the scratch space for a sample rate (Hz), block size and channel
        count, and clears the envelopes. */
    void prepare (const juce::dsp::ProcessSpec& spec);

    /** Clears the envelopes. */
    void reset();

    void setThreshold (float newThresholdDb);
    void setRatio (float newRatio);
    void setAttack (float newAttackMs);
    void setRelease (float newReleaseMs);

    /** Compresses the block in place; a longer block than prepared is taken in prepared pieces. */
    void process (const Context& context) noexcept;

private:
    void update();
    float limitedCoefficient (float timeMs) const noexcept;
    void processPiece (const juce::dsp::AudioBlock<float>& block) noexcept;
    void applyGain (float* samples, const float* level, int n) const noexcept;

    // juce::dsp::Compressor's starting settings.
    float thresholdDb = 0.0f, ratio = 1.0f, attackMs = 1.0f, releaseMs = 100.0f;
    float threshold = 1.0f, thresholdInverse = 1.0f, gainExponent = 0.0f;
    float attackCoefficient = 0.0f, releaseCoefficient = 0.0f;

    // -2 pi 1000 / sample rate; the value before any preparation is the framework's own.
    double expFactor = -0.142;

    /** One envelope per channel (peak level), carried from chunk to chunk. */
    std::vector<float> envelopes;

    /** Per sample of a piece, for two channels: the envelope over the threshold, or 1 below it. */
    juce::AudioBuffer<float> levels;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ConsoleCompressor)
};
