#include "editor/CachedLayer.h"

namespace
{
// A paint clipped to the frequent area may reach a pixel beyond it once its clip has been
// rounded out from device pixels at a fractional scale.
constexpr int frequentAreaMargin = 2;
} // namespace

void CachedLayer::invalidate()
{
    picture = {};
    frequentPixels = {};
}

void CachedLayer::setFrequentArea (juce::Rectangle<int> area)
{
    frequentArea = area.expanded (frequentAreaMargin);
    frequentPixels = {};
}

bool CachedLayer::matches (int width, int height, float scale) const
{
    return picture.isValid() && width == pictureWidth && height == pictureHeight && scale == pictureScale;
}

juce::Image& CachedLayer::startPicture (int width, int height, float scale)
{
    // Whole physical pixels that hold the area, as the framework sizes its own component images.
    const auto physical = juce::Rectangle<int> (width, height) * scale;
    picture = juce::Image (juce::Image::RGB, juce::jmax (1, physical.getWidth()), juce::jmax (1, physical.getHeight()), false);
    frequentPixels = {};
    pictureWidth = width;
    pictureHeight = height;
    pictureScale = scale;
    return picture;
}

void CachedLayer::copyTo (juce::Graphics& g)
{
    const juce::Graphics::ScopedSaveState saved (g);
    g.setOpacity (1.0f);
    // Undoing the context's scale leaves a whole-pixel translation, which the renderer copies
    // pixel for pixel without resampling.
    const auto toOwner = juce::AffineTransform::scale (1.0f / pictureScale);

    if (frequentArea.isEmpty() || ! frequentArea.contains (g.getClipBounds()))
    {
        g.drawImageTransformed (picture, toOwner, false);
        return;
    }

    if (frequentPixels.isNull())
    {
        // The very pixels of the picture, not a second rendering, so both copies agree.
        const auto physical = (frequentArea * pictureScale).getIntersection (picture.getBounds());
        frequentPixels = picture.getClippedImage (physical).createCopy();
        frequentOrigin = physical.getPosition();
    }

    g.drawImageTransformed (frequentPixels, juce::AffineTransform::translation ((float) frequentOrigin.x, (float) frequentOrigin.y).followedBy (toOwner), false);
}
