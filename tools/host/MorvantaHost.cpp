// Loads the Morvanta VST3 bundle the way a DAW does, renders a generated test signal through it
// and prints what went in and what came out. It can write what came out, or compare it with a
// render written before (another build's, another architecture's).

#include <cmath>
#include <cstdio>

#include <juce_audio_formats/juce_audio_formats.h>

#include "tools/host/HostedPlugin.h"
#include "tools/host/SavedStateEdit.h"

namespace
{
struct Options
{
    juce::File bundle = HostedPlugin::defaultBundle();
    double sampleRate = 48000.0;
    int blockSize = 512;
    double seconds = 3.0;
    juce::StringPairArray settings;
    juce::StringPairArray attributes;
    juce::File output, reference;
    double withinDb = std::nan (""); // the largest difference from the reference that passes
};

void printUsage()
{
    std::puts ("usage: morvanta-host [bundle.vst3] [--rate Hz] [--block samples] [--seconds s] [--set \"Name=text\"]...\n"
               "                     [--attribute name=c]... [--write out.wav] [--compare reference.wav --within dB]");
}

void addPair (juce::StringPairArray& pairs, const juce::String& pair)
{
    pairs.set (pair.upToFirstOccurrenceOf ("=", false, false), pair.fromFirstOccurrenceOf ("=", false, false));
}

bool parse (int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i)
    {
        const juce::String arg (argv[i]);
        const bool hasValue = i + 1 < argc;

        if (arg == "--rate" && hasValue)
            options.sampleRate = juce::String (argv[++i]).getDoubleValue();
        else if (arg == "--block" && hasValue)
            options.blockSize = juce::String (argv[++i]).getIntValue();
        else if (arg == "--seconds" && hasValue)
            options.seconds = juce::String (argv[++i]).getDoubleValue();
        else if (arg == "--set" && hasValue)
            addPair (options.settings, argv[++i]);
        else if (arg == "--attribute" && hasValue)
            addPair (options.attributes, argv[++i]);
        else if (arg == "--write" && hasValue)
            options.output = juce::File::getCurrentWorkingDirectory().getChildFile (argv[++i]);
        else if (arg == "--compare" && hasValue)
            options.reference = juce::File::getCurrentWorkingDirectory().getChildFile (argv[++i]);
        else if (arg == "--within" && hasValue)
            options.withinDb = juce::String (argv[++i]).getDoubleValue();
        else if (arg.startsWith ("--"))
            return false;
        else
            options.bundle = juce::File::getCurrentWorkingDirectory().getChildFile (arg);
    }

    return options.sampleRate > 0.0 && options.blockSize > 0 && options.seconds > 0.0
           && (options.reference == juce::File() || std::isfinite (options.withinDb));
}

/** The instance's own state with the engine's root attribute `name` set to a one-character
    value, restored as a project saved with it would be: Disto and the consoles have no
    parameter a host could set. */
bool restoreWithAttribute (juce::AudioPluginInstance& plugin, const juce::String& name, const juce::String& value)
{
    const auto state = value.length() == 1 ? SavedStateEdit::withEngineAttribute (plugin, name.toRawUTF8(), value.toRawUTF8()[0])
                                           : juce::MemoryBlock();

    if (state.isEmpty())
        return false;

    plugin.setStateInformation (state.getData(), static_cast<int> (state.getSize()));
    return true;
}

bool writeWav (const juce::File& file, const juce::AudioBuffer<float>& audio, double sampleRate)
{
    file.deleteFile();
    auto stream = file.createOutputStream();

    if (stream == nullptr)
        return false;

    // 32 bits: the WAV holds the floats as rendered.
    const auto channels = static_cast<unsigned> (audio.getNumChannels());
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (stream.get(), sampleRate, channels, 32, {}, 0));

    if (writer == nullptr)
        return false;

    stream.release(); // the writer owns it now
    return writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
}

/** The difference between `audio` and the render in `file`, as the RMS of the difference
    against the RMS of the reference in dB, over every channel and sample; NaN when the file
    does not hold a render of the same length and channels. */
double differenceDb (const juce::File& file, const juce::AudioBuffer<float>& audio)
{
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (file.createInputStream().release(), true));

    if (reader == nullptr || reader->numChannels != static_cast<unsigned> (audio.getNumChannels())
        || reader->lengthInSamples != audio.getNumSamples())
        return std::nan ("");

    juce::AudioBuffer<float> expected (audio.getNumChannels(), audio.getNumSamples());
    reader->read (&expected, 0, audio.getNumSamples(), 0, true, true);
    double difference = 0.0, signal = 0.0;

    for (int c = 0; c < audio.getNumChannels(); ++c)
        for (int i = 0; i < audio.getNumSamples(); ++i)
        {
            const double e = expected.getSample (c, i);
            const double d = audio.getSample (c, i) - e;
            difference += d * d;
            signal += e * e;
        }

    return 10.0 * std::log10 (difference / signal);
}

// A bass note plus a quieter upper partial: enough low end for Clean Bass and enough
// content above 7 kHz harmonics for the drive characters to be told apart.
float testSignal (int channel, juce::int64 frame, double sampleRate)
{
    const double t = static_cast<double> (frame) / sampleRate;
    const double phaseOffset = channel == 0 ? 0.0 : 0.25;
    return static_cast<float> (0.25 * std::sin (juce::MathConstants<double>::twoPi * (110.0 * t + phaseOffset))
                               + 0.125 * std::sin (juce::MathConstants<double>::twoPi * 1000.0 * t));
}

struct Level
{
    float peak = 0.0f;
    double sumOfSquares = 0.0;
    juce::int64 count = 0;

    void add (const juce::AudioBuffer<float>& buffer)
    {
        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int i = 0; i < buffer.getNumSamples(); ++i)
            {
                const float x = buffer.getSample (c, i);
                peak = juce::jmax (peak, std::abs (x));
                sumOfSquares += static_cast<double> (x) * x;
                ++count;
            }
    }

    juce::String describe() const
    {
        const double rms = count > 0 ? std::sqrt (sumOfSquares / static_cast<double> (count)) : 0.0;
        return "peak " + juce::String (juce::Decibels::gainToDecibels (peak), 2) + " dBFS, RMS "
               + juce::String (juce::Decibels::gainToDecibels (static_cast<float> (rms)), 2) + " dBFS";
    }
};
} // namespace

int main (int argc, char** argv)
{
    Options options;

    if (! parse (argc, argv, options))
    {
        printUsage();
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juce;

    juce::String error;
    const auto description = HostedPlugin::describe (options.bundle, error);
    auto plugin = error.isEmpty() ? HostedPlugin::load (options.bundle, options.sampleRate, options.blockSize, error) : nullptr;

    if (plugin == nullptr)
    {
        std::fprintf (stderr, "morvanta-host: %s\n", error.toRawUTF8());
        return 1;
    }

    std::printf ("Loaded %s %s by %s (%s) from %s\n",
        description.name.toRawUTF8(),
        description.version.toRawUTF8(),
        description.manufacturerName.toRawUTF8(),
        description.category.toRawUTF8(),
        options.bundle.getFullPathName().toRawUTF8());

    for (const auto& name : options.settings.getAllKeys())
    {
        auto* parameter = HostedPlugin::findParameter (*plugin, name);

        if (parameter == nullptr)
        {
            std::fprintf (stderr, "morvanta-host: no parameter named \"%s\"\n", name.toRawUTF8());
            return 2;
        }

        parameter->setValueNotifyingHost (parameter->getValueForText (options.settings[name]));
    }

    for (const auto& name : options.attributes.getAllKeys())
    {
        if (! restoreWithAttribute (*plugin, name, options.attributes[name]))
        {
            std::fprintf (stderr, "morvanta-host: the plug-in's state has no attribute \"%s\" to set to one character\n", name.toRawUTF8());
            return 2;
        }
    }

    plugin->setPlayConfigDetails (2, 2, options.sampleRate, options.blockSize);
    plugin->prepareToPlay (options.sampleRate, options.blockSize);

    juce::AudioBuffer<float> buffer (2, options.blockSize);
    juce::MidiBuffer midi;
    Level in, out;
    const auto totalFrames = static_cast<juce::int64> (options.seconds * options.sampleRate);
    const bool keep = options.output != juce::File() || options.reference != juce::File();
    juce::AudioBuffer<float> rendered (2, keep ? static_cast<int> (totalFrames) : 0);

    for (juce::int64 done = 0; done < totalFrames; done += options.blockSize)
    {
        const int n = static_cast<int> (juce::jmin<juce::int64> (options.blockSize, totalFrames - done));
        buffer.setSize (2, n, false, false, true);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < n; ++i)
                buffer.setSample (c, i, testSignal (c, done + i, options.sampleRate));

        in.add (buffer);
        plugin->processBlock (buffer, midi);
        out.add (buffer);

        for (int c = 0; keep && c < 2; ++c)
            rendered.copyFrom (c, static_cast<int> (done), buffer, c, 0, n);
    }

    plugin->releaseResources();

    std::puts ("Parameters:");
    for (auto* parameter : plugin->getParameters())
        std::printf ("  %-12s %s\n", parameter->getName (64).toRawUTF8(), (parameter->getCurrentValueAsText() + " " + parameter->getLabel()).trim().toRawUTF8());

    std::printf ("Rendered %.2f s at %.0f Hz, blocks of %d, stereo\n", options.seconds, options.sampleRate, options.blockSize);
    std::printf ("  in:  %s\n", in.describe().toRawUTF8());
    std::printf ("  out: %s\n", out.describe().toRawUTF8());

    const bool finite = std::isfinite (out.sumOfSquares) && std::isfinite (out.peak);
    bool passed = finite;

    if (! finite)
        std::puts ("  the output is not finite");

    if (options.output != juce::File() && ! writeWav (options.output, rendered, options.sampleRate))
    {
        std::printf ("  could not write %s\n", options.output.getFullPathName().toRawUTF8());
        passed = false;
    }

    if (options.reference != juce::File())
    {
        const auto difference = differenceDb (options.reference, rendered);
        std::printf ("  difference from %s: %.1f dB (at most %.1f dB)\n", options.reference.getFullPathName().toRawUTF8(), difference, options.withinDb);
        passed = passed && difference <= options.withinDb; // NaN fails
    }

    std::puts (passed ? "OK" : "FAILED");
    return passed ? 0 : 1;
}
