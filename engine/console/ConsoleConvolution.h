#pragma once

#include <atomic>
#include <mutex>

#include <juce_dsp/juce_dsp.h>

#include "engine/console/ConsoleCompressor.h"
#include "engine/console/ConvolutionLoader.h"
#include "engine/console/FftScratch.h"
#include "engine/dsp/Crossfade.h"

/**
    The console emulation: a compressor, a very short impulse-response convolution and a fixed
    makeup gain, switched in and out with a 20 ms crossfade against the dry input.

    The stage reads no parameter. The editor (message thread) drives it through the writer side
    of the hand-over: switchOff, switchOn, publishImpulseResponse and setThreshold. The audio
    thread runs process and picks up a published impulse response with a try-lock only.
*/
class ConsoleConvolution
{
public:
    using Context = juce::dsp::ProcessContextReplacing<float>;

    ConsoleConvolution();
    ~ConsoleConvolution();

    /** Sizes the stage for a sample rate (Hz), block size and channel count, ends any on/off
        fade at its destination and puts the compressor back to a 0 dB threshold (the next
        processed chunk re-applies the requested one). Wherever prepareToPlay runs. */
    void prepare (const juce::dsp::ProcessSpec& spec);

    /** Compressor, impulse-response hand-over, convolution, makeup and on/off crossfade, in
        place. While the stage is off and faded out the block is left untouched. Audio thread. */
    void process (const Context& context);

    /** Clears the compressor's envelope and the convolution's buffers (after a non-finite sample
        reached them). Audio thread, allocation-free. */
    void resetSignalState();

    /** Tells the stage whether the host renders offline (faster than real time), where a new
        impulse response is built into the convolution within the chunk that receives it instead
        of on the convolution's loader thread. Audio thread, before process. */
    void setNonRealtime (bool isNonRealtime) noexcept { nonRealtime = isNonRealtime; }

    /** Requests a compressor threshold of -0.7 x driveDb dB (driveDb: the DRIVE value, 0 to 50).
        Any thread: the value is stored atomically and the audio thread hands it to the
        compressor at the start of its next chunk, only when it differs from what the
        compressor has. */
    void setThreshold (float driveDb);

    //==============================================================================
    // Writer side of the hand-over. Message thread.

    /** Switches the stage off (it fades out over 20 ms). Everything else stays. */
    void switchOff();

    /** Switches the stage on with a console's polarity flag, its makeup selector (true: 19 dB,
        false: 17 dB) and the threshold for a DRIVE of driveDb. The impulse response the
        convolution already holds stays in use until publishImpulseResponse hands a new one. */
    void switchOn (bool invertResponse, bool hot, float driveDb);

    /** Leaves an impulse response (sample rate in Hz) for the audio thread, replacing one that
        is still waiting, and works out how the convolution is to play it at the prepared rate
        (ResponseMath), so that a console sounds alike at every rate. Blocks only for the few
        assignments inside irLock, and for a preparation running on another thread. Publish
        before switchOn: a stage switched on while its first response is on its way stays dry
        until the convolution plays that response. */
    void publishImpulseResponse (juce::AudioBuffer<float> response, float responseSampleRate);

    /** Threshold in dB last requested through setThreshold (0 dB before any request). Any
        thread. */
    float getRequestedThresholdDb() const noexcept { return requestedThresholdDb.load(); }

    /** Threshold in dB that the compressor currently works with. Audio thread (and tests). */
    float getAppliedThresholdDb() const noexcept { return appliedThresholdDb; }

    //==============================================================================
    /** Polarity flag: while true the console loader negates the response it decodes. Message
        thread only. */
    bool invertIR = true;

    /** Makeup selector, 19 dB when true, 17 dB when false. Written by the message thread, read
        once per processed chunk by the audio thread. */
    std::atomic<bool> hotMakeup{ false };

    /** The stage is switched off. Written by the message thread, read once per chunk by the
        audio thread. */
    std::atomic<bool> off{ true };

    float mixCurrent = 0.0f;
    int fadeLength = Crossfade::lengthBeforePreparation;
    bool makeupInitialised = false;
    bool mixInitialised = false;
    juce::AudioBuffer<float> dryCopy;

    const float attackMs = 2.0f;
    const float releaseMs = 20.0f;
    const float ratio = 5.0f;

    ConsoleCompressor compressor;
    /** Builds the convolution's engines, for every stage in the module; made before the
        convolution and destroyed after it. */
    juce::SharedResourcePointer<ConvolutionLoader> loader;
    juce::dsp::Convolution convolution{ juce::dsp::Convolution::Latency{ 0 }, loader->queue };
    FftScratch fftScratch; // FFTW's working memory for the convolution's transforms

    /** Hand-over slot, guarded by irLock: the message thread enters it (blocking spin), the
        audio thread only tries it. pendingIR is the response last published, as decoded; it
        stays there after the hand-over, so that a preparation at another rate can work out the
        convolution's response afresh. */
    juce::AudioBuffer<float> pendingIR;
    float pendingIRSampleRate = 44100.0f; // set with every publication
    /** pendingIR as the convolution plays it at pendingEngineRate (Hz; 0 before the stage's
        first preparation, when no rate is known yet); moved into the convolution by the
        hand-over. */
    juce::AudioBuffer<float> pendingEngineResponse;
    double pendingEngineRate = 0.0;
    bool irPending = false;
    juce::SpinLock irLock;

    juce::dsp::Gain<float> makeup;

private:
    void applyRequestedThreshold();
    /** At preparation: works the published response out for the new rate if it is not yet,
        and hands any waiting one to the convolution, whose preparation then builds it. */
    void handOverResponseForRate (double sampleRate);
    void takePendingImpulseResponse();
    bool handOverPendingResponse();
    bool awaitsOwnEngine() const noexcept;
    void runConsole (const Context& context);
    void warmUpWhileDry (const Context& context);
    void watchForOwnEngine (int numSamples, bool stageIsDry);

    /** Threshold in dB requested by setThreshold (any thread); the audio thread applies it. */
    std::atomic<float> requestedThresholdDb{ 0.0f };
    float appliedThresholdDb = 0.0f;

    // Until the convolution has received a response of ours it runs the framework's default
    // engine, an un-normalised unit impulse that the 17/19 dB makeup would turn into a burst; the
    // stage therefore stays dry until the engine built from its own response plays.
    /** Set by publishImpulseResponse (message thread), read by the audio thread. */
    std::atomic<bool> ownResponsePublished{ false };
    bool responseHandedOver = false; // the convolution has received a response of ours
    bool ownEngineInUse = false; // ... and plays an engine built from one
    int defaultEngineLength = 0; // what the convolution reports for its default engine
    bool lengthRevealsOwnEngine = true; // false where our response's engine reports that length too
    int samplesAwaited = 0; // since the hand-over, while the engine is built (real time)

    /** Orders publications (message thread) against preparations (wherever prepareToPlay runs),
        so that a published response is worked out for the rate the stage is prepared at. Never
        taken on the audio thread. */
    std::mutex responseMutex;
    double rateForResponses = 0.0; // the prepared rate, guarded by responseMutex
    bool responsePublished = false; // likewise: pendingIR holds a response

    juce::dsp::ProcessSpec preparedSpec{ 0.0, 0, 0 };
    bool nonRealtime = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ConsoleConvolution)
};
