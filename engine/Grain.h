#pragma once

#include <array>
#include <atomic>
#include <functional>

#include <juce_dsp/juce_dsp.h>

#include "engine/GrainMath.h"

/**
    The drive and colouring stage: grain polynomial, drive gain, the drive character's wave
    function, compensation gain, low-pass and a fixed -2 dB trim, with a 20 ms crossfade when the
    drive character changes.

    Everything but driveMode belongs to the audio thread (prepare: wherever prepareToPlay runs).
    The members are public so that the processor and the tests can look inside; only driveMode
    is meant to be written from outside.
*/
template <typename SampleType>
class Grain
{
public:
    using Polynomial = juce::dsp::Polynomial<SampleType>;
    using Context = juce::dsp::ProcessContextReplacing<SampleType>;

    /** Installs Tape with a 10 kHz low-pass. Message thread (inside the processor's constructor). */
    Grain();

    /** Sizes and resets the stage for a sample rate (Hz), block size and channel count. Keeps
        the installed mode, its wave function, polynomial and cutoff. */
    void prepare (const juce::dsp::ProcessSpec& spec);

    /** Processes the context's block in place. `drive` is the "Drive" value in dB (0 to 50),
        `grain` the "Grain" amount in percent (0 to 100). Audio thread. */
    void process (const Context& context, float drive, float grain);

    /** Installs the wave function, polynomial and cutoff of driveMode when it differs from the
        installed mode, with a crossfade once the first chunk after a preparation has run.
        Allocation-free: the polynomials are built once, at construction. Audio thread. */
    void setWave();

    /** Clears the low-pass state (after a non-finite sample reached it). Audio thread. */
    void resetSignalState();

    /** Crossfade weight (0 to 1) of the new mode for sample i of the current chunk. */
    SampleType fadeWeight (int i) const noexcept;

    /** Step 1 of a chunk: every sample x becomes x + g P(x), g following "Grain" / 100.
        The amount advances once per sample of every channel, channel after channel. */
    void applyGrainPolynomial (const juce::dsp::AudioBlock<SampleType>& block);

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

    /** Cutoff in Hz of the installed mode; the low-pass gets it limited below Nyquist. */
    SampleType cutoffHz = GrainMath::initialCutoffHz;

private:
    static std::array<Polynomial, GrainMath::numModes> makeModePolynomials();
    void applyCutoff();
    int currentMode() const noexcept;

    double sampleRate = 44100.0; // the low-pass's own rate until the first preparation

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Grain)
};
