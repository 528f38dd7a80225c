#include "editor/CachedLayer.h"

void CachedLayer::invalidate()
{
    picture = {};
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
    pictureWidth = width;
    pictureHeight = height;
    pictureScale = scale;
    return picture;
}

void CachedLayer::copyTo (juce::Graphics& g) const
{
    // Undoing the context's scale leaves a whole-pixel translation, which the renderer copies
    // pixel for pixel without resampling.
    const juce::Graphics::ScopedSaveState saved (g);
    g.setOpacity (1.0f);
    g.drawImageTransformed (picture, juce::AffineTransform::scale (1.0f / pictureScale), false);
}
