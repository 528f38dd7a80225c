#pragma once

#include <array>
#include <atomic>
#include <functional>

#include <juce_dsp/juce_dsp.h>

#include "engine/drive/DriveOversampler.h"
#include "engine/drive/GrainMath.h"

/**
    The drive and colouring stage: grain polynomial, drive gain, the drive character's wave
    function, compensation gain, low-pass and a fixed -2 dB trim, with a 20 ms crossfade when the
    drive character changes.

    Everything but driveMode, the published cutoff and a restored cutoff belongs to the audio
    thread (prepare: wherever prepareToPlay runs). The members are public so that the processor
    and the tests can look inside; only driveMode and restoreCutoff are meant for writing from
    outside.
*/
template <typename SampleType>
class Grain
{
public:
    using Polynomial = juce::dsp::Polynomial<SampleType>;
    using Context = juce::dsp::ProcessContextReplacing<SampleType>;

    /** Installs Tape with a 10 kHz low-pass. Message thread (inside the processor's constructor). */
    Grain();

    /** Sizes and resets the stage for a sample rate (Hz), block size and channel count, with
        its nonlinear part at `oversamplingFactor` (1, 2, 4 or 8) times that rate. Keeps the
        installed mode, its wave function, polynomial and cutoff. */
    void prepare (const juce::dsp::ProcessSpec& spec, int oversamplingFactor = 1);

    /** Runs the grain polynomial, the drive gain and the wave function at `factor` (1, 2, 4 or
        8) times the rate from the next chunk on, from cleared rate-change filters and with every
        smoother at its target. Allocation-free. Audio thread, while the processor's output is
        faded out: the sound jumps. */
    void setOversampling (int factor) noexcept;

    /** The factor the nonlinear part runs at. Audio thread. */
    int getOversampling() const noexcept { return oversampling; }

    /** Processes the context's block in place. `drive` is the "Drive" value in dB (0 to 50),
        `grain` the "Grain" amount in percent (0 to 100). Audio thread. */
    void process (const Context& context, float drive, float grain);

    /** Installs the wave function, polynomial and cutoff of driveMode when it differs from the
        installed mode, with a crossfade once the first chunk after a preparation has run.
        Allocation-free: the polynomials are built once, at construction. Audio thread. */
    void setWave();

    /** The cutoff in Hz that `mode` (a valid mode) plays once installed, given the mode and
        cutoff installed now and any restored cutoff still waiting. Any thread; lock-free. */
    float cutoffHzOf (int mode) const noexcept;

    /** Clears the low-pass state (after a non-finite sample reached it). Audio thread. */
    void resetSignalState();

    /** Crossfade weight (0 to 1) of the new mode for sample i of the current chunk, counted at
        `factor` times the rate. */
    SampleType fadeWeight (int i, int factor = 1) const noexcept;

    /** Step 1 of a chunk: every sample x becomes x + g P(x), g following "Grain" / 100.
        The amount advances once per sample of every channel, channel after channel. */
    void applyGrainPolynomial (const juce::dsp::AudioBlock<SampleType>& block) { applyGrainPolynomial (block, grainSmoothed, 1); }

    /** The same on a block at `factor` times the rate, with the amount from `amount`. */
    void applyGrainPolynomial (const juce::dsp::AudioBlock<SampleType>& block, juce::SmoothedValue<SampleType, juce::ValueSmoothingTypes::Linear>& amount, int factor);

    /** Step 2 of a chunk: drive gain, wave function (crossfaded while a mode change runs),
        compensation gain and low-pass; advances the crossfade. */
    void applyShaper (const Context& context);

    //==============================================================================
    int installedMode = GrainMath::fuzz;

    /** Requested drive mode (0 Tape, 1 Soft, 2 Tube, 3 Disto, 4 Fuzz). Written by the audio
        thread from the mode parameters and by the editor's mode buttons (message thread); read
        by the audio thread at the start of process and of setWave. */
    std::atomic<int> driveMode{ GrainMath::tape };

    SampleType driveDb = 0;
    SampleType compensationDb = 0;
    juce::SmoothedValue<SampleType, juce::ValueSmoothingTypes::Linear> grainSmoothed;

    std::function<SampleType (SampleType)> previousWave;
    /** The mode a running crossfade comes from. */
    int previousMode = GrainMath::fuzz;

    /** The polynomials of the five modes, built once so that installing one never allocates. */
    const std::array<Polynomial, GrainMath::numModes> modePolynomials;
    const Polynomial zeroPolynomial;

    const Polynomial* previousPolynomial = &zeroPolynomial;
    int fadePosition = -1;
    int fadeLength = 0;
    bool waveInitialised = false;

    juce::dsp::Gain<SampleType> trim;

    enum ShaperIndex
    {
        driveGainIndex,
        waveShaperIndex,
        compensationGainIndex,
        lowPassIndex
    };

    juce::dsp::ProcessorChain<juce::dsp::Gain<SampleType>,
        juce::dsp::WaveShaper<SampleType, std::function<SampleType (SampleType)>>,
        juce::dsp::Gain<SampleType>,
        juce::dsp::FirstOrderTPTFilter<SampleType>>
        shaper;

    const Polynomial* polynomial = &zeroPolynomial;

    /** The rate change around the nonlinear part, for every factor. */
    DriveOversampler oversampler;

    /** The drive gain and the grain amount at the oversampled rate; at 1x the shaper's own
        drive gain and grainSmoothed play. */
    juce::dsp::Gain<SampleType> oversampledDriveGain;
    juce::SmoothedValue<SampleType, juce::ValueSmoothingTypes::Linear> oversampledGrain;

    /** Per channel, the last sample that reached the wave function at the oversampled rate: the
        start of the segment that antiderivative anti-aliasing averages over. */
    std::array<float, DriveOversampler::maxChannels> lastDriven{};

    /** Cutoff in Hz of the installed mode; the low-pass gets it limited below Nyquist. */
    SampleType cutoffHz = GrainMath::initialCutoffHz;

    /** A mode and the cutoff in Hz it plays, in one word so that a single atomic carries both. */
    struct ModeCutoff
    {
        int mode;
        float cutoffHz;

        bool operator== (const ModeCutoff& other) const noexcept { return mode == other.mode && cutoffHz == other.cutoffHz; }
    };

    static constexpr ModeCutoff noRestore{ -1, 0.0f };

    /** The installed mode and cutoffHz. Written by the audio thread whenever it sets the
        cutoff; read by cutoffHzOf (the host state, any thread). */
    std::atomic<ModeCutoff> playing{ ModeCutoff{ GrainMath::tape, GrainMath::initialCutoffHz } };

    /** A cutoff from a saved project waiting for its mode, or noRestore. Written by
        restoreCutoff; taken (cleared) by the audio thread when it applies or drops it. */
    std::atomic<ModeCutoff> restoredCutoff{ noRestore };

    static_assert (std::atomic<ModeCutoff>::is_always_lock_free, "the audio thread reads it");

    /** Hands over the cutoff (Hz) that a mode played in a saved project, or noRestore to forget
        one still waiting. The audio thread gives it to the low-pass once that mode is installed
        (at once if it already is), so a mode still installed from before cannot take it; it is
        dropped when another mode is still installed a whole chunk after the audio thread first
        saw it (the mode was changed meanwhile). Non-audio thread; lock-free. */
    void restoreCutoff (ModeCutoff restore) noexcept;

private:
    static std::array<Polynomial, GrainMath::numModes> makeModePolynomials();
    void applyOversampled (const Context& context);
    void applyWaveOversampled (const juce::dsp::AudioBlock<SampleType>& block);
    void prepareOversampledRate();
    void applyCutoff();
    void setCutoff (SampleType hz);
    void takeRestoredCutoff();
    int currentMode() const noexcept;

    double sampleRate = 44100.0; // the low-pass's own rate until the first preparation
    int oversampling = 1;

    // The restored cutoff that an earlier setWave saw waiting for a mode not yet installed.
    ModeCutoff restoreSeen = noRestore;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Grain)
};
