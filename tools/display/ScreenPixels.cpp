#include "tools/display/ScreenPixels.h"

#ifdef _WIN32
#include <vector>

#include <windows.h>
#else
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

namespace ScreenPixels
{
#ifdef _WIN32
// The screen's device context copied into a top-down 32-bit bitmap (blue, green, red, unused).
juce::Image grab (juce::Rectangle<int> area)
{
    juce::Image result;
    auto* screen = GetDC (nullptr);

    if (screen == nullptr)
        return result;

    auto* memory = CreateCompatibleDC (screen);
    auto* bitmap = CreateCompatibleBitmap (screen, area.getWidth(), area.getHeight());
    auto* previous = SelectObject (memory, bitmap);

    if (BitBlt (memory, 0, 0, area.getWidth(), area.getHeight(), screen, area.getX(), area.getY(), SRCCOPY))
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof (info.bmiHeader);
        info.bmiHeader.biWidth = area.getWidth();
        info.bmiHeader.biHeight = -area.getHeight();
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        std::vector<juce::uint32> pixels ((size_t) area.getWidth() * (size_t) area.getHeight());

        SelectObject (memory, previous);

        if (GetDIBits (memory, bitmap, 0, (UINT) area.getHeight(), pixels.data(), &info, DIB_RGB_COLORS) == area.getHeight())
        {
            result = juce::Image (juce::Image::RGB, area.getWidth(), area.getHeight(), false);

            for (int y = 0; y < area.getHeight(); ++y)
                for (int x = 0; x < area.getWidth(); ++x)
                    result.setPixelAt (x, y, juce::Colour (0xff000000 | pixels[(size_t) (y * area.getWidth() + x)]));
        }
    }
    else
    {
        SelectObject (memory, previous);
    }

    DeleteObject (bitmap);
    DeleteDC (memory);
    ReleaseDC (nullptr, screen);
    return result;
}
#else
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
#endif
} // namespace ScreenPixels
