// Loads the Morvanta VST3 bundle the way a DAW does, renders a generated test signal through it
// and prints what went in and what came out.

#include <cmath>
#include <cstdio>

#include "tools/host/HostedPlugin.h"

namespace
{
struct Options
{
    juce::File bundle = HostedPlugin::defaultBundle();
    double sampleRate = 48000.0;
    int blockSize = 512;
    double seconds = 3.0;
    juce::StringPairArray settings;
};

void printUsage()
{
    std::puts ("usage: morvanta-host [bundle.vst3] [--rate Hz] [--block samples] [--seconds s] [--set \"Name=text\"]...");
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
        {
            const juce::String pair (argv[++i]);
            options.settings.set (pair.upToFirstOccurrenceOf ("=", false, false), pair.fromFirstOccurrenceOf ("=", false, false));
        }
        else if (arg.startsWith ("--"))
            return false;
        else
            options.bundle = juce::File::getCurrentWorkingDirectory().getChildFile (arg);
    }

    return options.sampleRate > 0.0 && options.blockSize > 0 && options.seconds > 0.0;
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

    plugin->setPlayConfigDetails (2, 2, options.sampleRate, options.blockSize);
    plugin->prepareToPlay (options.sampleRate, options.blockSize);

    juce::AudioBuffer<float> buffer (2, options.blockSize);
    juce::MidiBuffer midi;
    Level in, out;
    const auto totalFrames = static_cast<juce::int64> (options.seconds * options.sampleRate);

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
    }

    plugin->releaseResources();

    std::puts ("Parameters:");
    for (auto* parameter : plugin->getParameters())
        std::printf ("  %-12s %s\n", parameter->getName (64).toRawUTF8(), (parameter->getCurrentValueAsText() + " " + parameter->getLabel()).trim().toRawUTF8());

    std::printf ("Rendered %.2f s at %.0f Hz, blocks of %d, stereo\n", options.seconds, options.sampleRate, options.blockSize);
    std::printf ("  in:  %s\n", in.describe().toRawUTF8());
    std::printf ("  out: %s\n", out.describe().toRawUTF8());

    const bool finite = std::isfinite (out.sumOfSquares) && std::isfinite (out.peak);
    std::puts (finite ? "OK" : "FAILED: output is not finite");
    return finite ? 0 : 1;
}
