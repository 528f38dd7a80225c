#pragma once

#include <juce_graphics/juce_graphics.h>

#include <algorithm>
#include <array>

// Pure geometry of the look-and-feel's drawing: which background pieces a button gets, where
// highlights, texts, pointers and value frames go. Kept free of components so it can be checked
// on its own; Look does the drawing with these numbers.
namespace LookGeometry
{
// How a text button's background image is chosen from its proportions.
enum class ButtonShape
{
    none, // narrower than high: no image
    square, // W == H: the square image, whole
    wide, // about two to one: the two-to-one image, whole
    longPieces, // W >= 2H + 2: the long image as two square ends and a stretched middle
    longHalfEnds, // H < W <= 2H - 2: the long image as two half ends and a stretched middle
};

inline ButtonShape textButtonShape (int w, int h) noexcept
{
    if (w == h)
        return ButtonShape::square;

    if (w < h)
        return ButtonShape::none;

    if (w <= 2 * h - 2)
        return ButtonShape::longHalfEnds;

    if (w < 2 * h + 2)
        return ButtonShape::wide;

    return ButtonShape::longPieces;
}

// One drawImage call: the source rectangle (clipped to the image when drawn) scaled onto the
// destination.
struct ImagePiece
{
    juce::Rectangle<int> destination, source;
};

struct BackgroundPieces
{
    int count = 0;
    std::array<ImagePiece, 3> pieces{};
};

// The pieces for a button of w x h drawn from an image of imageW x imageH, in drawing order.
inline BackgroundPieces backgroundPieces (ButtonShape shape, int w, int h, int imageW, int imageH) noexcept
{
    BackgroundPieces result;
    auto add = [&result] (juce::Rectangle<int> d, juce::Rectangle<int> s)
    { result.pieces[(size_t) result.count++] = { d, s }; };

    switch (shape)
    {
        case ButtonShape::none:
            break;

        case ButtonShape::square:
        case ButtonShape::wide:
            add ({ 0, 0, w, h }, { 0, 0, imageW, imageH });
            break;

        case ButtonShape::longPieces:
            add ({ 0, 0, h, h }, { 0, 0, imageH, imageH });
            add ({ w - h, 0, h, h }, { imageW - imageH, 0, imageH, imageH });
            add ({ h, 0, w - 2 * h, h }, { imageH, 0, (int) (0.5 * imageH), imageH });
            break;

        case ButtonShape::longHalfEnds:
        {
            const auto c = (int) (0.5 * h);
            add ({ 0, 0, c, h }, { 0, 0, (int) (0.5 * imageH), imageH });
            // The source runs past the image's right edge on purpose: clipped, it leaves the
            // last h/2 columns, which land as a strip ending at the button's right edge.
            add ({ (int) (w - 0.5 * h), 0, h, h }, { (int) (imageW - 0.5 * imageH), 0, imageH, imageH });
            add ({ c, 0, w - h, h }, { (int) (0.5 * imageH), 0, (int) (0.6 * imageH), imageH });
            break;
        }
    }

    return result;
}

// The rounded rectangle filled over a hovered button: a circle for square buttons, a pill
// otherwise.
struct RoundedArea
{
    juce::Rectangle<float> area;
    float cornerSize = 0.0f;
};

inline RoundedArea hoverHighlight (int w, int h) noexcept
{
    if (w == h)
        return { { (float) (0.1 * w), (float) (0.1 * w), (float) (0.8 * w), (float) (0.8 * w) }, (float) (0.5 * w) };

    const bool nearlyTwoToOne = w < 2 * h + 3;
    const auto x = nearlyTwoToOne ? 0.05 * w : 0.03 * w;
    const auto width = nearlyTwoToOne ? 0.9 * w : 0.94 * w;
    return { { (float) x, (float) (0.15 * h), (float) width, (float) (0.7 * h) }, (float) (0.5 * h) };
}

inline float buttonFontHeight (int h) noexcept { return (float) h * 0.3f; }

// Where a text button's text is fitted. Empty when there is no room, and for buttons under
// about 6 pixels high, whose indent rounds to 0 and would divide by zero.
inline juce::Rectangle<int> buttonTextArea (int w, int h, bool connectedLeft, bool connectedRight) noexcept
{
    const auto indent = juce::roundToInt ((float) h * 0.1f);

    if (indent <= 0)
        return {};

    const auto corner = std::min (w, h) / 2;
    const auto left = corner / (connectedLeft ? 2 * indent : indent);
    const auto right = corner / (connectedRight ? 2 * indent : indent);
    const auto textWidth = w - left - right;

    if (textWidth <= 0)
        return {};

    return { left, indent + 1, textWidth, h - 2 * indent };
}

// The image button's picture: stretched onto its image area, then shrunk to 40 % about the
// origin and moved by 30 % of the button, which centres it when the area is the whole button.
inline juce::AffineTransform imageButtonTransform (juce::Rectangle<float> imageBounds,
    juce::Rectangle<int> imageArea,
    int buttonW,
    int buttonH)
{
    const auto t = juce::RectanglePlacement (juce::RectanglePlacement::stretchToFit)
                       .getTransformToFit (imageBounds, imageArea.toFloat());

    return juce::AffineTransform (t.mat00 * 0.4f, t.mat01 * 0.4f, t.mat02 * 0.4f, t.mat10 * 0.4f, t.mat11 * 0.4f, t.mat12 * 0.4f)
        .translated ((float) (0.3 * buttonW), (float) (0.3 * buttonH));
}

// Rotary knobs. width and height are the knob area's, without the value box.
inline float rotaryPointerRadius (int width, int height) noexcept
{
    return (float) std::min (height / 2, width / 2) - 0.22f * (float) width;
}

// The knob face sits 0.1 of its size higher than the area, so that its shadow and scale reach
// down towards the value box.
inline juce::Rectangle<int> rotaryFaceBounds (int width) noexcept
{
    return { 0, (int) (-0.1 * width), width, width };
}

inline float rotaryPointerAngle (float proportion, float startAngle, float endAngle) noexcept
{
    return startAngle + proportion * (endAngle - startAngle);
}

// A bar 4 pixels wide from 1 pixel beyond radius r in to 0.45 r, turned to the angle (radians
// clockwise from 12 o'clock) about the knob area's centre.
inline juce::Path rotaryPointer (int x, int y, int width, int height, float angle)
{
    const auto r = rotaryPointerRadius (width, height);
    juce::Path p;
    p.addRectangle (-2.0f, -1.0f - r, 4.0f, 0.55f * r + 1.0f);
    p.applyTransform (juce::AffineTransform::rotation (angle).translated ((float) x + 0.5f * (float) width,
        (float) y + 0.5f * (float) height - 1.0f));
    return p;
}

// The frame behind a knob's value text: an outline and a fill, both in the value box below
// the knob area.
struct ValueFrame
{
    juce::Rectangle<float> outline, fill;
    float cornerSize = 0.0f;
};

inline ValueFrame rotaryValueFrame (int x, int width, int height, int textBoxW, int textBoxH) noexcept
{
    const auto cx = x + 0.5 * width;
    const auto corner = (float) (0.05 * height);
    return { { (float) (cx - 0.5 * textBoxW), (float) (height + 3), (float) textBoxW, (float) (textBoxH - 6) },
        { (float) (cx - 0.5 * textBoxW - 1), (float) (height + 2), (float) (textBoxW - 1), (float) (textBoxH - 6) },
        corner };
}

// Popup menus: the strip at the right of an item that holds its submenu arrow, taken off r.
// arrowSize is 0.6 of the menu font's ascent.
inline juce::Path submenuArrow (juce::Rectangle<int>& r, float arrowSize)
{
    const auto strip = r.removeFromRight ((int) arrowSize);
    const auto x = (float) strip.getX();
    const auto yc = (float) (r.getY() + r.getHeight() / 2);

    juce::Path arrow;
    arrow.addTriangle (x, yc - 0.5f * arrowSize, x, yc + 0.5f * arrowSize, x + 0.6f * arrowSize, yc);
    return arrow;
}
} // namespace LookGeometry
