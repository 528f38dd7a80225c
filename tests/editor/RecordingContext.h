#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

// A software renderer that also logs the drawing operations reaching it, in device coordinates,
// with the fill colour and opacity in force at the time. Tests check what a look-and-feel draws
// (which image where, which shape in which colour, which font) instead of comparing pixels.
class RecordingContext : public juce::LowLevelGraphicsSoftwareRenderer
{
public:
    enum class Kind
    {
        fillPath,
        fillRect,
        drawImage,
        drawLine,
        drawGlyph,
        clipToImageAlpha,
    };

    struct Call
    {
        Kind kind;
        juce::Colour colour; // fill colour (transparent black for gradients and images)
        float opacity = 1.0f; // fill opacity, as set by Graphics::setOpacity
        bool gradient = false; // a gradient or image fill rather than a colour
        juce::Rectangle<float> bounds;
        juce::AffineTransform transform; // images and glyphs: user space to device space
        juce::Image image; // drawImage and clipToImageAlpha
        juce::Line<float> line; // drawLine
        juce::Font font; // drawGlyph
        juce::Graphics::ResamplingQuality quality = juce::Graphics::mediumResamplingQuality;
    };

    // What was drawn, in order.
    struct Log
    {
        std::vector<Call> calls;

        std::vector<Call> callsOf (Kind kind) const
        {
            std::vector<Call> result;
            for (auto& c : calls)
                if (c.kind == kind)
                    result.push_back (c);
            return result;
        }
    };

    explicit RecordingContext (const juce::Image& target)
        : juce::LowLevelGraphicsSoftwareRenderer (target)
    {
    }

    Log log;

    void fillPath (const juce::Path& path, const juce::AffineTransform& t) override
    {
        record (Kind::fillPath).bounds = path.getBoundsTransformed (deviceTransform (t));
        LowLevelGraphicsSoftwareRenderer::fillPath (path, t);
    }

    void fillRect (const juce::Rectangle<int>& r, bool replace) override
    {
        record (Kind::fillRect).bounds = r.toFloat().transformedBy (deviceTransform ({}));
        LowLevelGraphicsSoftwareRenderer::fillRect (r, replace);
    }

    void fillRect (const juce::Rectangle<float>& r) override
    {
        record (Kind::fillRect).bounds = r.transformedBy (deviceTransform ({}));
        LowLevelGraphicsSoftwareRenderer::fillRect (r);
    }

    void drawImage (const juce::Image& image, const juce::AffineTransform& t) override
    {
        auto& c = record (Kind::drawImage);
        c.image = image;
        c.transform = deviceTransform (t);
        c.bounds = image.getBounds().toFloat().transformedBy (c.transform);
        LowLevelGraphicsSoftwareRenderer::drawImage (image, t);
    }

    void clipToImageAlpha (const juce::Image& image, const juce::AffineTransform& t) override
    {
        auto& c = record (Kind::clipToImageAlpha);
        c.image = image;
        c.transform = deviceTransform (t);
        c.bounds = image.getBounds().toFloat().transformedBy (c.transform);
        LowLevelGraphicsSoftwareRenderer::clipToImageAlpha (image, t);
    }

    void drawLine (const juce::Line<float>& l) override
    {
        auto& c = record (Kind::drawLine);
        const auto t = deviceTransform ({});
        c.line = { l.getStart().transformedBy (t), l.getEnd().transformedBy (t) };
        LowLevelGraphicsSoftwareRenderer::drawLine (l);
    }

    void drawGlyph (int glyphNumber, const juce::AffineTransform& t) override
    {
        auto& c = record (Kind::drawGlyph);
        c.transform = deviceTransform (t);
        c.bounds = juce::Rectangle<float> (1.0f, 1.0f).transformedBy (c.transform);
        c.font = getFont();
        LowLevelGraphicsSoftwareRenderer::drawGlyph (glyphNumber, t);
    }

private:
    juce::AffineTransform deviceTransform (const juce::AffineTransform& t) const { return stack->transform.getTransformWith (t); }

    Call& record (Kind kind)
    {
        Call c;
        c.kind = kind;
        c.gradient = ! stack->fillType.isColour();
        c.colour = stack->fillType.isColour() ? stack->fillType.colour : juce::Colour();
        c.quality = stack->interpolationQuality;
        log.calls.push_back (c);
        return log.calls.back();
    }
};
