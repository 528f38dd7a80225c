#include "tools/display/ScreenPixels.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace ScreenPixels
{
juce::Image grab (juce::Rectangle<int> area)
{
    auto* display = XOpenDisplay (nullptr);

    if (display == nullptr)
        return {};

    juce::Image result;

    if (auto* image = XGetImage (display, DefaultRootWindow (display), area.getX(), area.getY(), (unsigned) area.getWidth(), (unsigned) area.getHeight(), AllPlanes, ZPixmap))
    {
        result = juce::Image (juce::Image::RGB, area.getWidth(), area.getHeight(), false);

        for (int y = 0; y < area.getHeight(); ++y)
            for (int x = 0; x < area.getWidth(); ++x)
                result.setPixelAt (x, y, juce::Colour ((juce::uint32) (0xff000000 | XGetPixel (image, x, y))));

        XDestroyImage (image);
    }

    XCloseDisplay (display);
    return result;
}
} // namespace ScreenPixels
