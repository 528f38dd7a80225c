#pragma once

#include <array>
#include <atomic>
#include <optional>

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

#include "engine/console/ConsoleConvolution.h"
#include "engine/drive/Grain.h"
#include "engine/dsp/Crossfade.h"
#include "engine/dsp/DryDelay.h"

/**
    The Morvanta audio engine: owns the parameter tree and the drive chain, cuts host blocks
    into chunks and runs every chunk through the chain on the host's audio thread.

    The members below are public on purpose: the editor writes several of them directly (drive
    mode, power flag, window size, console hand-over, spectrum feed) and the tests inspect them.
*/
class MorvantaProcessor : public juce::AudioProcessor, public juce::AudioProcessorValueTreeState::Listener
{
public:
    MorvantaProcessor();
    ~MorvantaProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlock;

    /** The host's bypass. Fades the effect out over 20 ms to the exact input, then hands the
        input back untouched; processBlock fades it in again over 20 ms, from a cleared chain
        when it had gone all the way out. The power button and effectOff are left alone.
        Audio thread. */
    void processBlockBypassed (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    using juce::AudioProcessor::processBlockBypassed;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;

    /** The plug-in window. Defined by the editor library, not here: the engine links no GUI
        code of its own. Message thread. */
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    /** Writes the parameter tree (plus the engine-only settings) as JUCE's XML-in-binary. */
    void getStateInformation (juce::MemoryBlock& destData) override;
    /** Restores what getStateInformation wrote; anything else leaves every setting alone. */
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    void parameterChanged (const juce::String& parameterID, float newValue) override;

    /** Runs the drive chain in place on one chunk of at most the prepared block size, faded out
        while the power is off or the host bypasses. Audio thread only. */
    void processChunk (juce::AudioBuffer<float>& chunk);

    /** Sizes the spectrum FIFO to one second at the last preparation's sample rate, empties it
        and switches the feed on. Message thread (the editor opening). Takes no lock: it switches
        the feed off and waits out a push already running (one chunk's copy) before it touches
        the storage, so the audio thread skips the feed meanwhile and never waits on the heap. */
    void openSpectrumFeed();

    /** Switches the spectrum feed off; the FIFO keeps its size and content. Message thread. */
    void closeSpectrumFeed();

    /** The drive mode that plays from the next chunk on: the first mode parameter that is on
        (Soft, Tube, Tape, Fuzz), else the mode the engine holds (Disto has no parameter). Any
        thread. */
    int driveModeHeard() const noexcept;

    /** Pushes the sum of the chunk's first mainInputChannels channels into the spectrum FIFO
        when the feed is on and the whole chunk fits, then raises analyserDataReady. Audio
        thread (the only producer). */
    void pushToSpectrumFeed (const juce::AudioBuffer<float>& processed);

    /** Oversampling factors of the drive stage that an instance offers. 1 runs the drive at the
        host's rate with no latency; the others run the grain polynomial and the drive character
        at that multiple of it, which keeps their harmonics from folding back into the audible
        band, at the cost of a few samples of latency and more CPU. */
    static constexpr std::array<int, 4> oversamplingFactors{ 1, 2, 4, 8 };

    /** Chooses the drive stage's oversampling factor (one of oversamplingFactors; anything else
        is ignored) and tells the host the latency it brings. While audio plays, the output fades
        out over 20 ms, the factor changes and it fades back in over 20 ms. A setting of the
        instance saved with the host state, not a parameter. Any thread but the audio thread;
        allocation-free and lock-free. */
    void setOversampling (int factor);

    /** The factor chosen last: the one that plays once a change has faded through. Any thread. */
    int getOversampling() const noexcept { return oversamplingChosen.load(); }

    /** Makes the tree held by a preset file the parameter state, which sets every parameter that
        has a child in it (values in the parameters' own units). Prints "LOAD PRESET ERROR" and
        changes nothing when the file cannot be opened or holds no readable tree. Message thread. */
    void loadPreset (juce::File presetFile);

    //==============================================================================
    /** Console last handed to the console stage (by the editor or a restored host state):
        1 "-", 2 "U", 3 "A", 4 "S", 5 "N". Written on the message thread; saved with the host
        state, which some hosts ask for from other threads. */
    std::atomic<int> consoleIndex{ 1 };

    /** Raised while setStateInformation applies a state, on whichever thread the host restores
        it: an open window tells the parameter changes of a restore by it from a click, host
        automation or a preset, and only shows them. Read by the window's button bindings. */
    std::atomic<bool> restoringState{ false };

    /** Tells an open window that a restored state has been applied, so that it shows what now
        plays: at once when the host restores on the message thread, else through the message
        loop, after the button updates the restore queued there. */
    juce::ChangeBroadcaster stateRestored;

    juce::AudioProcessorValueTreeState parameters;

    ConsoleConvolution console;

    /** Sample rate, maximum block size and channel count of the last preparation (all zero before the first). */
    juce::dsp::ProcessSpec spec{ 0.0, 0, 0 };

    /** Spectrum feed: raised by the audio thread after each push, lowered by the display's
        timer (message thread) once it has read every complete block. */
    mutable std::atomic<bool> analyserDataReady{ false };
    /** Spectrum feed switch: written by the editor (message thread), read by every chunk. */
    std::atomic<bool> analyserActive{ false };
    /** Single producer (audio thread) moves the write position, single consumer (message
        thread) the read position. */
    juce::AbstractFifo analyserFifo{ 1 };
    juce::AudioBuffer<float> analyserBuffer;

    using ShelfFilter = juce::dsp::ProcessorDuplicator<juce::dsp::IIR::Filter<float>, juce::dsp::IIR::Coefficients<float>>;
    ShelfFilter cleanFilter;
    ShelfFilter brightFilter;

    int mainInputChannels = 0;
    int totalOutputChannels = 0;

    juce::AudioBuffer<float> cleanCopy;
    juce::AudioBuffer<float> bypassCopy;

    /** The input delayed by the drive stage's latency, and this chunk's copy of it (unused while
        the latency is 0: the input is then its own dry copy). Audio thread. */
    DryDelay dryDelay;
    juce::AudioBuffer<float> delayedInput;

    /** Gain of the whole output while the oversampling factor changes: it falls to 0 over 20 ms,
        the factor and the latency change in the silence, and it rises again. Audio thread. */
    float switchGain = 1.0f;
    int switchFadeSamples = Crossfade::lengthBeforePreparation;
    /** Samples the output stays silent after a factor change, before it fades in: the new
        factor's cleared filters fill meanwhile. Audio thread. */
    int switchHoldSamples = 0;
    /** Whether a chunk has played since the last preparation: before one, a new factor is
        installed at once, as a restored project's should be. Audio thread. */
    bool playedSincePreparation = false;
    float bypassMix = 1.0f;
    int bypassFadeSamples = Crossfade::lengthBeforePreparation;
    bool bypassMixInitialised = false;

    /** Power off. Written by the audio thread at every chunk and by the editor's power button
        (message thread); read by the spectrum display. */
    std::atomic<bool> effectOff{ false };

    /** The host's bypass for the chunks of the current block. Written by the audio thread at
        every block, read by its chunks and by the spectrum display. */
    std::atomic<bool> bypassedByHost{ false };

    /** The power is off or the host bypasses: the display then shows no spectrum, since the
        effect is switched out. Any thread. */
    bool isSwitchedOut() const noexcept { return effectOff.load() || bypassedByHost.load(); }

    juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> cleanBassSmoothed;
    juce::SmoothedValue<float, juce::ValueSmoothingTypes::Linear> brightnessSmoothed;

    /** Size of the last editor window, in pixels; the window's opening size until it has been
        resized. Message thread only. */
    int editorWidth = 900;
    int editorHeight = 350;

    juce::dsp::DryWetMixer<float> mixer;
    Grain<float> grain;
    juce::dsp::Gain<float> outputGain;

private:
    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();
    /** Makes a preset's or a saved state's tree the parameter state. Message thread. */
    void applyStateTree (juce::ValueTree tree);
    std::atomic<float>& rawParameter (const char* id) const;
    /** The part of pushToSpectrumFeed that runs while the feed is on. Audio thread. */
    void copyToSpectrumFeed (const juce::AudioBuffer<float>& processed);

    /** The mode the mode parameters choose, if any is on. */
    std::optional<int> driveModeOfParameters() const noexcept;
    void selectDriveMode();
    /** Clears every filter, envelope and delay line of the chain after a non-finite output.
        Audio thread, allocation-free. */
    void resetSignalState();
    void restoreConsole (int index);
    /** Guards the buffer against non-finite samples and runs its chunks, with or without the
        host's bypass. Audio thread. */
    void processGuarded (juce::AudioBuffer<float>& buffer, bool byHost);
    float addCleanBass (const juce::dsp::AudioBlock<float>& block, int numChannels);
    /** Installs the chosen oversampling factor when it differs from the one playing: at once
        before the first chunk after a preparation or once the output has faded out. Returns
        the gain the output fades towards. Audio thread. */
    float followOversampling();
    void fadeForOversampling (juce::AudioBuffer<float>& view, float target);
    void crossfadePower (juce::AudioBuffer<float>& view, float target);

    /** The oversampling factor chosen: written by setOversampling (message thread, or the thread
        the host restores a state on), read by the audio thread at every chunk and by the state. */
    std::atomic<int> oversamplingChosen{ 1 };

    /** Raised by the audio thread around each push, read by openSpectrumFeed (message thread),
        which waits for it to fall before it resizes the storage. */
    std::atomic<bool> spectrumPushInFlight{ false };

    // Audio thread only. Whether the host's bypass left the chain idle, whose filters, envelopes
    // and convolution then hold a signal from before the bypass that must not come back with
    // the effect.
    bool chainIdledByHost = false;

    // Raw parameter values, looked up once: the audio thread never searches by name.
    std::atomic<float>& driveValue;
    std::atomic<float>& grainValue;
    std::atomic<float>& outputValue;
    std::atomic<float>& mixValue;
    std::atomic<float>& cleanBassValue;
    std::atomic<float>& brightnessValue;
    std::atomic<float>& softValue;
    std::atomic<float>& tubeValue;
    std::atomic<float>& tapeValue;
    std::atomic<float>& fuzzValue;
    std::atomic<float>& onValue;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorvantaProcessor)
};
