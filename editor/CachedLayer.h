#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/**
    A picture of opaque layers that change only with the window's size: rendered once per size and
    display scale, then copied on every paint, so that a child repainting on top (the spectrum
    display, 30 times a second) costs a copy rather than the gradients and textures beneath it.

    The picture is made at the physical pixel scale of the context it is drawn into and copied 1:1,
    so it matches a direct paint of the same layers wherever the owner's origin lies on a device
    pixel (a window's top-left does). Message thread only.
*/
class CachedLayer
{
public:
    CachedLayer() = default;

    /** Fills (0, 0, width, height) of g with the picture, first rendering it with
        paintLayers (juce::Graphics&) when the size or g's physical pixel scale has changed or
        invalidate() was called. paintLayers must cover the whole area with opaque paint. */
    template <typename PaintLayers>
    void draw (juce::Graphics& g, int width, int height, PaintLayers&& paintLayers)
    {
        const auto scale = g.getInternalContext().getPhysicalPixelScaleFactor();

        if (! matches (width, height, scale))
        {
            juce::Graphics layers (startPicture (width, height, scale));
            layers.addTransform (juce::AffineTransform::scale (scale));
            paintLayers (layers);
        }

        copyTo (g);
    }

    /** Forgets the picture; the next draw renders it again. */
    void invalidate();

    /** The part of the area (owner coordinates) that paints of its own are most often clipped to.
        Its pixels are also kept in a copy of their own, which such a paint reads instead of rows
        spread across the whole picture: far fewer cache misses for the same pixels. */
    void setFrequentArea (juce::Rectangle<int> area);

private:
    bool matches (int width, int height, float scale) const;
    juce::Image& startPicture (int width, int height, float scale);
    void copyTo (juce::Graphics& g);

    juce::Image picture;
    int pictureWidth = 0, pictureHeight = 0; // in the owner's coordinates
    float pictureScale = 0.0f; // physical pixels per coordinate unit

    juce::Rectangle<int> frequentArea; // owner coordinates
    juce::Image frequentPixels; // the picture's pixels under frequentArea, or null until needed
    juce::Point<int> frequentOrigin; // where frequentPixels lie in the picture

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (CachedLayer)
};
