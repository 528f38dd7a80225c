// Makes the README's picture of the plug-in window: the built bundle loaded through JUCE's VST3
// hosting, a chord playing through a setting a musician might choose (Tube, console "U" restored
// from a saved state as a project brings it back), the editor open at 900 x 350 with the spectrum
// showing, and exactly the window's pixels, as the screen shows them, written to a PNG. Needs an X
// display (scripts/common.sh's ensure_display starts Xvfb), under Wine too.

#include <cmath>
#include <cstdio>

#include "tools/display/ScreenPixels.h"
#include "tools/display/WindowManagerAtoms.h"
#include "tools/host/HostWindow.h"
#include "tools/host/HostedPlugin.h"
#include "tools/host/PacedAudioThread.h"
#include "tools/host/SavedStateEdit.h"
#include "tools/screenshot/TextBoxes.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <X11/Xlib.h>
#endif

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

/** An A major chord (A2, E3, A3, C#4, E4 in equal temperament), each note six harmonics of a
    sawtooth, about -12 dBFS at its peaks: a spectrum with the shape of played music. */
class AMajorChord
{
public:
    void fill (juce::AudioBuffer<float>& block)
    {
        constexpr double notes[] = { 110.0, 164.81, 220.0, 277.18, 329.63 }; // Hz
        constexpr int harmonics = 6;
        constexpr double level = 0.05; // of each note's fundamental

        for (int i = 0; i < block.getNumSamples(); ++i, ++frame)
        {
            const double t = static_cast<double> (frame) / sampleRate;
            double sum = 0.0;

            for (const auto f : notes)
                for (int h = 1; h <= harmonics; ++h)
                    sum += level / h * std::sin (juce::MathConstants<double>::twoPi * f * h * t);

            for (int c = 0; c < block.getNumChannels(); ++c)
                block.setSample (c, i, static_cast<float> (sum));
        }
    }

private:
    juce::int64 frame = 0;
};

bool set (juce::AudioPluginInstance& plugin, const char* name, const char* text)
{
    auto* parameter = HostedPlugin::findParameter (plugin, name);

    if (parameter == nullptr)
        return false;

    parameter->setValueNotifyingHost (parameter->getValueForText (text));
    return true;
}

/** The host state of a project saved with the picture's setting and console "U". Empty when the
    bundle lacks a parameter or its state holds no console. */
juce::MemoryBlock pictureState (const juce::File& bundle, juce::String& error)
{
    auto original = HostedPlugin::load (bundle, sampleRate, blockSize, error);

    if (original == nullptr)
        return {};

    const std::pair<const char*, const char*> setting[] = {
        { "Soft Button", "Off" },
        { "Tube Button", "On" },
        { "Drive", "18.0" },
        { "Grain", "25.0" },
        { "Brightness", "2.0" },
        { "Clean Bass", "4.0" },
        { "Output", "0.0" },
        { "Mix", "100" },
        { "Of Console", "Off" },
        { "U Console", "On" },
    };

    for (const auto& [name, text] : setting)
    {
        if (! set (*original, name, text))
        {
            error = juce::String ("The plug-in has no parameter ") + name;
            return {};
        }
    }

    auto state = SavedStateEdit::withEngineAttribute (*original, "consoleIndex", '2');

    if (state.isEmpty())
        error = "The plug-in's state holds no console";

    return state;
}

/** Puts the pointer in the screen's far corner, so that no control shows it hovering. */
void movePointerAway()
{
#ifdef _WIN32
    SetCursorPos (GetSystemMetrics (SM_CXSCREEN) - 1, GetSystemMetrics (SM_CYSCREEN) - 1);
#else
    if (auto* display = XOpenDisplay (nullptr))
    {
        const auto screen = DefaultScreen (display);
        XWarpPointer (display, None, RootWindow (display, screen), 0, 0, 0, 0, DisplayWidth (display, screen) - 1, DisplayHeight (display, screen) - 1);
        XCloseDisplay (display);
    }
#endif
}

/** A window that has not painted shows black (Xvfb's empty screen) where the panel should be. */
bool looksPainted (const juce::Image& image)
{
    int black = 0;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            black += image.getPixelAt (x, y).getPerceivedBrightness() < 0.01f;

    return black < image.getWidth() * image.getHeight() / 20;
}

int fail (const juce::String& message)
{
    std::fprintf (stderr, "morvanta-screenshot: %s\n", message.toRawUTF8());
    return 1;
}
} // namespace

int main (int argc, char** argv)
{
    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const juce::StringArray arguments (argv + 1, argc - 1);
    juce::StringArray files;
    juce::File reference;
    int width = 900, height = 350; // the window's size when it first opens
    int within = 1; // pixels

    bool understood = true;

    for (int i = 0; i < arguments.size() && understood; ++i)
    {
        const auto& a = arguments[i];
        const auto hasValue = i + 1 < arguments.size();

        if (! a.startsWith ("-"))
            files.add (a);
        else if (a == "--size" && hasValue && arguments[i + 1].containsChar ('x'))
        {
            width = arguments[++i].upToFirstOccurrenceOf ("x", false, false).getIntValue();
            height = arguments[i].fromFirstOccurrenceOf ("x", false, false).getIntValue();
        }
        else if (a == "--compare" && hasValue)
            reference = cwd.getChildFile (arguments[++i]);
        else if (a == "--within" && hasValue)
            within = arguments[++i].getIntValue();
        else
            understood = false;
    }

    if (! understood || files.isEmpty() || files.size() > 2 || width <= 0 || height <= 0 || within < 0)
    {
        std::puts ("usage: morvanta-screenshot out.png [bundle.vst3] [--size WxH] [--compare reference.png [--within pixels]]");
        return 2;
    }

    const auto out = cwd.getChildFile (files[0]);
    const auto bundle = files.size() == 2 ? cwd.getChildFile (files[1]) : HostedPlugin::defaultBundle();

    const WindowManagerAtoms windowManagerAtoms;
    const juce::ScopedJuceInitialiser_GUI juce;

    if (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay() == nullptr)
        return fail ("no X display");

    juce::String error;
    const auto state = pictureState (bundle, error);

    if (state.isEmpty())
        return fail (error);

    auto plugin = HostedPlugin::load (bundle, sampleRate, blockSize, error);

    if (plugin == nullptr)
        return fail (error);

    plugin->setStateInformation (state.getData(), (int) state.getSize());
    plugin->setPlayConfigDetails (2, 2, sampleRate, blockSize);
    plugin->prepareToPlay (sampleRate, blockSize);

    juce::Image picture;

    {
        AMajorChord chord;
        PacedAudioThread audio (*plugin, sampleRate, blockSize, [&chord] (juce::AudioBuffer<float>& block)
            { chord.fill (block); });
        HostWindow host (*plugin);

        if (host.editor == nullptr)
            return fail ("the plug-in opened no editor");

        if (host.resizeTo (width, height) != juce::Rectangle<int> (width, height))
            return fail ("the window would not take " + juce::String (width) + " x " + juce::String (height));

        movePointerAway();
        HostWindow::pump (2000); // the spectrum fills in over the first second of audio
        picture = ScreenPixels::grab (host.window.getScreenBounds());
    }

    plugin->releaseResources();

    if (! picture.isValid() || ! looksPainted (picture))
        return fail ("the window was not painted");

    out.deleteFile();
    juce::FileOutputStream stream (out);
    juce::PNGImageFormat png;

    if (stream.failedToOpen() || ! png.writeImageToStream (picture, stream))
        return fail ("could not write " + out.getFullPathName());

    std::printf ("%s: %d x %d\n", out.getFullPathName().toRawUTF8(), picture.getWidth(), picture.getHeight());

    if (reference == juce::File())
        return 0;

    // Text by text: this picture's box, the reference's, and whether they lie within the bound.
    const auto expected = juce::ImageFileFormat::loadFrom (reference);

    if (! expected.isValid())
        return fail ("could not read " + reference.getFullPathName());

    juce::StringArray lines;
    const auto agree = TextBoxes::agree (picture, expected, within, lines);
    std::printf ("%-18s%-18s%-18s%s\n%s\n", "text", "area", "this picture", "the reference", lines.joinIntoString ("\n").toRawUTF8());

    if (! agree)
        return fail ("texts lie more than " + juce::String (within) + " pixels from " + reference.getFullPathName() + "'s");

    return 0;
}
