#include <gtest/gtest.h>

#include "editor/Look.h"
#include "editor/Palette.h"
#include "tests/editor/RecordingContext.h"
#include "tools/look/PointerHover.h"

#include <MorvantaBinaryData.h>

#include <cmath>

using Kind = RecordingContext::Kind;

namespace
{
juce::Image resource (const char* data, int size) { return juce::ImageCache::getFromMemory (data, size); }

juce::Image knobImage() { return resource (MorvantaBinary::knob_png, MorvantaBinary::knob_pngSize); }
juce::Image knobHoverImage() { return resource (MorvantaBinary::knobHover_png, MorvantaBinary::knobHover_pngSize); }
juce::Image squareOff() { return resource (MorvantaBinary::buttonSquare_png, MorvantaBinary::buttonSquare_pngSize); }
juce::Image squareOn() { return resource (MorvantaBinary::buttonSquareOn_png, MorvantaBinary::buttonSquareOn_pngSize); }
juce::Image wideOff() { return resource (MorvantaBinary::buttonWide_png, MorvantaBinary::buttonWide_pngSize); }
juce::Image wideOn() { return resource (MorvantaBinary::buttonWideOn_png, MorvantaBinary::buttonWideOn_pngSize); }
juce::Image longOff() { return resource (MorvantaBinary::buttonLong_png, MorvantaBinary::buttonLong_pngSize); }
juce::Image longOn() { return resource (MorvantaBinary::buttonLongOn_png, MorvantaBinary::buttonLongOn_pngSize); }
juce::Image powerImage() { return resource (MorvantaBinary::power_png, MorvantaBinary::power_pngSize); }

// Whether a drawn image shows exactly the given part of a resource image.
bool showsPart (const juce::Image& drawn, const juce::Image& source, juce::Rectangle<int> part)
{
    const auto expected = source.getClippedImage (part);
    if (drawn.getBounds() != expected.getBounds())
        return false;

    for (int y = 0; y < expected.getHeight(); y += 3)
        for (int x = 0; x < expected.getWidth(); x += 3)
            if (drawn.getPixelAt (x, y) != expected.getPixelAt (x, y))
                return false;

    return true;
}

void expectRect (juce::Rectangle<float> actual, double x, double y, double w, double h, const std::string& what = {})
{
    EXPECT_NEAR (actual.getX(), x, 1.0e-3) << what;
    EXPECT_NEAR (actual.getY(), y, 1.0e-3) << what;
    EXPECT_NEAR (actual.getWidth(), w, 1.0e-3) << what;
    EXPECT_NEAR (actual.getHeight(), h, 1.0e-3) << what;
}

// Runs a drawing operation on a recording context of the given size.
template <typename Draw>
RecordingContext::Log record (int width, int height, Draw&& draw)
{
    RecordingContext context (juce::Image (juce::Image::ARGB, juce::jmax (1, width), juce::jmax (1, height), true));
    {
        juce::Graphics g (context);
        draw (g);
    }
    return context.log;
}

// A window on the desktop holding the component under test, so the pointer can hover it.
struct Stage
{
    explicit Stage (juce::Component& c)
    {
        window.setBounds (0, 0, 600, 300);
        window.addAndMakeVisible (c);
        window.addToDesktop (0);
        window.setVisible (true);
    }

    ~Stage()
    {
        PointerHover::away (window);
        window.removeFromDesktop();
        window.removeAllChildren();
    }

    void hover (juce::Component& c) { PointerHover::over (window, c); }
    void leave() { PointerHover::away (window); }

    juce::Component window;
};

std::vector<RecordingContext::Call> glyphsOf (const RecordingContext::Log& c) { return c.callsOf (Kind::drawGlyph); }
} // namespace

//==============================================================================
TEST (Look, IsTheDefaultWhileItLivesAndTheFrameworkFallsBackAfterwards)
{
    auto& frameworkDefault = juce::LookAndFeel::getDefaultLookAndFeel();

    {
        Look first;
        EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &first);
        EXPECT_EQ (first.labelFontHeight, 16.0f);

        {
            Look second;
            EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &second) << "a later look takes over";
        }

        EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &frameworkDefault)
            << "once the default look is gone the framework's own default is back, not the older look";
    }

    EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &frameworkDefault);

    {
        auto first = std::make_unique<Look>();
        Look second;
        first.reset();
        EXPECT_EQ (&juce::LookAndFeel::getDefaultLookAndFeel(), &second) << "destroying a look that is not the default changes nothing";
    }

    // The fallback is fully usable: it answers colours and makes fonts.
    auto& fallback = juce::LookAndFeel::getDefaultLookAndFeel();
    EXPECT_EQ (&fallback, &frameworkDefault);
    EXPECT_NE (dynamic_cast<juce::LookAndFeel_V4*> (&fallback), nullptr);
    EXPECT_NE (fallback.getTypefaceForFont (juce::Font (12.0f)), nullptr);
}

TEST (Look, DefaultSansSerifIsTheEmbeddedSpartanMedium)
{
    Look look;

    EXPECT_EQ (look.getTypefaceForFont (juce::Font (12.0f))->getName(), "Spartan Medium");

    // Any font made from a height alone resolves through the default look-and-feel.
    EXPECT_EQ (juce::Font (20.0f).getTypefacePtr()->getName(), "Spartan Medium");
    EXPECT_EQ (juce::Font (20.0f, juce::Font::bold).getTypefacePtr()->getName(), "Spartan Medium");
}

TEST (Look, ColourTableMapsTheFrameworkIdsToPaletteColours)
{
    struct Expected
    {
        int id;
        juce::uint32 argb;
    };

    // Numeric IDs as the framework defines them, values as ARGB.
    const Expected table[] = {
        { 0x1000281, 0xFFD2D3D3 },
        { 0x1000600, 0xFFD2D3D3 },
        { 0x1000700, 0xD91A1A1A },
        { 0x1000601, 0xFFECA019 },
        { 0x1000800, 0xFFFAFBFB },
        { 0x1000900, 0xFF8E5F23 },
        { 0x1001900, 0xFFECA019 },
        { 0x1001A00, 0xFFFAFBFB },
        { 0x1001810, 0xFFFAFBFB },
        { 0x1001800, 0xFF414242 },
        { 0x1001820, 0xFFFAFBFB },
        { 0x1000100, 0xFFFAFBFB },
        { 0x1000101, 0xFF8E5F23 },
        { 0x1000102, 0xFFAAACB1 },
        { 0x1000103, 0xFFECA019 },
        { 0x1000C00, 0xFFE6E7E7 },
        { 0x1000400, 0xFFFAFBFB },
        { 0x1000300, 0xFFECA019 },
        { 0x1000401, 0xFFECA019 },
        { 0x1000200, 0xFF323333 },
        { 0x1000202, 0xFFECA019 },
        { 0x1000206, 0xFF5A3C0A },
        { 0x1000205, 0xFFD2D3D3 },
        { 0x1000201, 0xFFFAFBFB },
        { 0x1000207, 0xFF282929 },
        { 0x1002810, 0xFFFAFBFB },
        { 0x1002800, 0xFF282929 },
        { 0x1003810, 0xFF282929 },
        { 0x1003800, 0xFFFAFBFB },
        { 0x1003820, 0xFF282929 },
        { 0x1003830, 0xFF282929 },
        { 0x1000850, 0xFFFAFBFB },
        { 0x1001B00, 0xFF282929 },
        { 0x1000641, 0xFFFAFBFB },
        { 0x1000642, 0xFFFAFBFB },
        { 0x1000643, 0xFF282929 },
        { 0x1000644, 0xFFFAFBFB },
        { 0x1001700, 0x00000000 },
    };
    EXPECT_EQ (std::size (table), 38u);

    Look look;
    for (const auto& e : table)
        EXPECT_EQ (look.findColour (e.id).getARGB(), e.argb) << std::hex << "colour id 0x" << e.id;

    // Everything else keeps the framework's dark scheme.
    juce::LookAndFeel_V4 plain;
    for (int id : { (int) juce::Slider::thumbColourId, (int) juce::Slider::rotarySliderFillColourId, (int) juce::ComboBox::backgroundColourId, (int) juce::ResizableWindow::backgroundColourId, (int) juce::Label::backgroundColourId })
        EXPECT_EQ (look.findColour (id), plain.findColour (id)) << std::hex << "colour id 0x" << id;
}

//==============================================================================
TEST (LookButtons, BackgroundImageAndPiecesFollowProportionsAndToggleState)
{
    Look look;
    juce::TextButton button ("TUBE");

    struct Case
    {
        int width;
        bool on;
        juce::Image image;
        std::vector<juce::Rectangle<float>> destinations;
        std::vector<juce::Rectangle<int>> sources;
    };

    using RF = juce::Rectangle<float>;
    using RI = juce::Rectangle<int>;

    // Source rectangles as they reach the renderer: clipped to the image.
    const Case cases[] = {
        { 35, false, {}, {}, {} },
        { 36, false, squareOff(), { RF (0, 0, 36, 36) }, { RI (0, 0, 200, 200) } },
        { 36, true, squareOn(), { RF (0, 0, 36, 36) }, { RI (0, 0, 200, 200) } },
        { 71, false, wideOff(), { RF (0, 0, 71, 36) }, { RI (0, 0, 400, 200) } },
        { 72, true, wideOn(), { RF (0, 0, 72, 36) }, { RI (0, 0, 400, 200) } },
        { 73, false, wideOff(), { RF (0, 0, 73, 36) }, { RI (0, 0, 400, 200) } },
        { 74, false, longOff(), { RF (0, 0, 36, 36), RF (38, 0, 36, 36), RF (36, 0, 2, 36) }, { RI (0, 0, 200, 200), RI (200, 0, 200, 200), RI (200, 0, 100, 200) } },
        { 225, true, longOn(), { RF (0, 0, 36, 36), RF (189, 0, 36, 36), RF (36, 0, 153, 36) }, { RI (0, 0, 200, 200), RI (200, 0, 200, 200), RI (200, 0, 100, 200) } },
        // Half ends: the right one is clipped to the image's last 100 columns, so 18 wide.
        { 37, false, longOff(), { RF (0, 0, 18, 36), RF (19, 0, 18, 36), RF (18, 0, 1, 36) }, { RI (0, 0, 100, 200), RI (300, 0, 100, 200), RI (100, 0, 120, 200) } },
        { 70, true, longOn(), { RF (0, 0, 18, 36), RF (52, 0, 18, 36), RF (18, 0, 34, 36) }, { RI (0, 0, 100, 200), RI (300, 0, 100, 200), RI (100, 0, 120, 200) } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("width " + std::to_string (c.width) + (c.on ? " on" : " off"));
        button.setSize (c.width, 36);
        button.setToggleState (c.on, juce::dontSendNotification);

        // Neither the colour argument nor the highlight/down flags change anything.
        for (bool down : { false, true })
        {
            const auto ctx = record (c.width, 36, [&] (juce::Graphics& g)
                { look.drawButtonBackground (g, button, juce::Colours::red, down, down); });
            const auto images = ctx.callsOf (Kind::drawImage);

            ASSERT_EQ (images.size(), c.destinations.size());
            EXPECT_TRUE (ctx.callsOf (Kind::fillPath).empty()) << "no highlight without the pointer";

            for (size_t i = 0; i < images.size(); ++i)
            {
                expectRect (images[i].bounds, c.destinations[i].getX(), c.destinations[i].getY(), c.destinations[i].getWidth(), c.destinations[i].getHeight(), "piece " + std::to_string (i));
                EXPECT_TRUE (showsPart (images[i].image, c.image, c.sources[i])) << "piece " << i;
                EXPECT_EQ (images[i].quality, juce::Graphics::highResamplingQuality);
            }
        }
    }
}

TEST (LookButtons, HoverHighlightOnlyWhileEnabledAndHovered)
{
    Look look;
    juce::TextButton button ("TUBE");
    Stage stage (button);

    auto highlightOf = [&]
    {
        const auto ctx = record (button.getWidth(), button.getHeight(), [&] (juce::Graphics& g)
            { look.drawButtonBackground (g, button, {}, false, false); });
        return ctx.callsOf (Kind::fillPath);
    };

    struct Case
    {
        int w, h;
        double x, y, width, height;
    };

    const Case cases[] = {
        { 72, 36, 3.6, 5.4, 64.8, 25.2 },
        { 74, 36, 0.05 * 74, 5.4, 0.9 * 74, 25.2 },
        { 75, 36, 0.03 * 75, 5.4, 0.94 * 75, 25.2 },
        { 33, 33, 3.3, 3.3, 26.4, 26.4 },
        { 20, 36, 1.0, 5.4, 18.0, 25.2 }, // no image, but still the pill
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (std::to_string (c.w) + " x " + std::to_string (c.h));
        button.setBounds (0, 0, c.w, c.h);
        stage.hover (button);
        ASSERT_TRUE (button.isMouseOverOrDragging());

        const auto fills = highlightOf();
        ASSERT_EQ (fills.size(), 1u);
        EXPECT_EQ (fills[0].colour, lightQuelm2);
        expectRect (fills[0].bounds, c.x, c.y, c.width, c.height);
    }

    button.setEnabled (false);
    EXPECT_TRUE (highlightOf().empty()) << "disabled buttons show no highlight";
    button.setEnabled (true);

    stage.leave();
    EXPECT_TRUE (highlightOf().empty());
}

TEST (LookButtons, TransparentButtonColourDrawsOnlyText)
{
    Look look;
    juce::TextButton button ("TUBE");
    Stage stage (button);
    button.setBounds (0, 0, 72, 36);
    button.setColour (juce::TextButton::buttonColourId, transparentQuelm);
    stage.hover (button);

    const auto background = record (72, 36, [&] (juce::Graphics& g)
        { look.drawButtonBackground (g, button, {}, true, false); });
    EXPECT_TRUE (background.calls.empty()) << "no image and no highlight";

    const auto text = record (72, 36, [&] (juce::Graphics& g)
        { look.drawButtonText (g, button, true, false); });
    EXPECT_FALSE (glyphsOf (text).empty());
}

TEST (LookButtons, TextFontAreaAndColourByToggleAndEnablement)
{
    Look look;
    juce::TextButton button ("TUBE");
    button.setSize (72, 36);

    auto textOf = [&]
    { return record (72, 36, [&] (juce::Graphics& g)
          { look.drawButtonText (g, button, false, false); }); };

    auto glyphs = glyphsOf (textOf());
    ASSERT_EQ (glyphs.size(), 4u);
    for (const auto& glyph : glyphs)
    {
        EXPECT_FLOAT_EQ (glyph.font.getHeight(), 10.8f);
        EXPECT_FALSE (glyph.font.isBold());
        EXPECT_EQ (glyph.font.getTypefacePtr()->getName(), "Spartan Medium");
        EXPECT_EQ (glyph.colour, backgroundQuelm2);
    }

    // Centred in (4, 5, 64, 28): the text's left edge and its right edge are equally far from the
    // area's edges (the last glyph's origin plus its advance).
    const auto font = glyphs[0].font;
    const auto left = glyphs.front().bounds.getX();
    const auto right = glyphs.back().bounds.getX() + font.getStringWidthFloat ("E");
    EXPECT_NEAR (left - 4.0f, 68.0f - right, 1.0f);

    // Too long a text is squeezed into the area, never past its edges.
    button.setButtonText ("TUBETUBETUBETUBE");
    glyphs = glyphsOf (textOf());
    ASSERT_FALSE (glyphs.empty());
    EXPECT_GE (glyphs.front().bounds.getX(), 4.0f - 0.01f);
    EXPECT_LT (glyphs.back().bounds.getX(), 68.0f);
    button.setButtonText ("TUBE");

    button.setToggleState (true, juce::dontSendNotification);
    EXPECT_EQ (glyphsOf (textOf())[0].colour, orangeQuelm);

    button.setEnabled (false);
    EXPECT_EQ (glyphsOf (textOf())[0].colour, orangeQuelm.withMultipliedAlpha (0.5f));
    button.setToggleState (false, juce::dontSendNotification);
    EXPECT_EQ (glyphsOf (textOf())[0].colour, backgroundQuelm2.withMultipliedAlpha (0.5f));
    button.setEnabled (true);

    // The button's own colours win over the table ("PRESETS" in the editor).
    button.setColour (juce::TextButton::textColourOffId, blackUltraQuelm);
    EXPECT_EQ (glyphsOf (textOf())[0].colour, blackUltraQuelm);

    // No text where there is no room, and none under 6 pixels high.
    button.setSize (4, 10);
    EXPECT_TRUE (glyphsOf (textOf()).empty());
    button.setSize (40, 5);
    EXPECT_TRUE (glyphsOf (textOf()).empty());
}

//==============================================================================
TEST (LookImageButton, PictureAtFortyPercentOverTheStateBackground)
{
    Look look;
    juce::ImageButton button;
    button.setSize (33, 33);
    auto picture = powerImage();

    auto draw = [&] (juce::Colour overlay, float opacity)
    {
        return record (33, 33, [&] (juce::Graphics& g)
            { look.drawImageButton (g, &picture, 0, 0, 33, 33, overlay, opacity, button); });
    };

    auto ctx = draw (juce::Colour(), 1.0f);
    auto images = ctx.callsOf (Kind::drawImage);
    ASSERT_EQ (images.size(), 2u);
    expectRect (images[0].bounds, 0, 0, 33, 33, "background");
    EXPECT_TRUE (showsPart (images[0].image, squareOff(), { 0, 0, 200, 200 }));
    expectRect (images[1].bounds, 9.9, 9.9, 13.2, 13.2, "power image");
    EXPECT_TRUE (showsPart (images[1].image, picture, picture.getBounds()));
    EXPECT_EQ (images[1].colour.getAlpha(), 0xFF) << "drawn at the state's opacity";
    EXPECT_EQ (images[1].quality, juce::Graphics::highResamplingQuality);
    EXPECT_TRUE (ctx.callsOf (Kind::clipToImageAlpha).empty()) << "transparent overlay: plain image only";

    button.setToggleState (true, juce::dontSendNotification);
    EXPECT_TRUE (showsPart (draw (juce::Colour(), 1.0f).callsOf (Kind::drawImage)[0].image, squareOn(), { 0, 0, 200, 200 }));

    // Disabled: the image at 0.3 of its opacity.
    button.setEnabled (false);
    images = draw (juce::Colour(), 0.8f).callsOf (Kind::drawImage);
    ASSERT_EQ (images.size(), 2u);
    EXPECT_EQ (images[1].colour.getAlpha(), juce::Colour().withAlpha (0.8f * 0.3f).getAlpha());
    button.setEnabled (true);

    // A part-transparent overlay draws the image twice, the second time filled with the overlay.
    const juce::Colour overlay (0x80FF0000u);
    ctx = draw (overlay, 1.0f);
    EXPECT_EQ (ctx.callsOf (Kind::drawImage).size(), 2u);
    const auto masks = ctx.callsOf (Kind::clipToImageAlpha);
    ASSERT_EQ (masks.size(), 1u);
    expectRect (masks[0].bounds, 9.9, 9.9, 13.2, 13.2, "overlay mask");
    const auto fills = ctx.callsOf (Kind::fillRect);
    ASSERT_FALSE (fills.empty());
    EXPECT_EQ (fills.back().colour, overlay);

    // An opaque overlay draws only the filled image.
    ctx = draw (juce::Colours::red, 1.0f);
    EXPECT_EQ (ctx.callsOf (Kind::drawImage).size(), 1u) << "background only";
    EXPECT_EQ (ctx.callsOf (Kind::clipToImageAlpha).size(), 1u);

    // Any proportion other than square takes the two-to-one background, never the long one.
    for (int w : { 50, 66, 200 })
    {
        button.setSize (w, 33);
        const auto bg = record (w, 33, [&] (juce::Graphics& g)
            { look.drawImageButton (g, &picture, 0, 0, w, 33, juce::Colour(), 1.0f, button); })
                            .callsOf (Kind::drawImage)[0];
        expectRect (bg.bounds, 0, 0, w, 33);
        EXPECT_TRUE (showsPart (bg.image, wideOn(), { 0, 0, 400, 200 })) << w;
    }

    // A transparent button colour draws nothing at all.
    button.setColour (juce::TextButton::buttonColourId, transparentQuelm);
    EXPECT_TRUE (draw (juce::Colour(), 1.0f).calls.empty());
}

TEST (LookImageButton, HoverCircleOnThePowerButton)
{
    Look look;
    juce::ImageButton button;
    Stage stage (button);
    button.setBounds (0, 0, 33, 33);
    auto picture = powerImage();
    stage.hover (button);

    auto draw = [&]
    { return record (33, 33, [&] (juce::Graphics& g)
          { look.drawImageButton (g, &picture, 0, 0, 33, 33, juce::Colour(), 1.0f, button); }); };

    auto fills = draw().callsOf (Kind::fillPath);
    ASSERT_EQ (fills.size(), 1u);
    EXPECT_EQ (fills[0].colour, lightQuelm2);
    expectRect (fills[0].bounds, 3.3, 3.3, 26.4, 26.4);

    button.setEnabled (false);
    EXPECT_TRUE (draw().callsOf (Kind::fillPath).empty());
}

//==============================================================================
TEST (LookKnobs, FacePointerAndValueFrame)
{
    Look look;
    juce::Slider slider (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::TextBoxBelow);
    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 60, 20);
    slider.setBounds (0, 0, 100, 100);

    const auto start = juce::MathConstants<float>::pi * 1.2f;
    const auto end = juce::MathConstants<float>::pi * 2.8f;

    auto draw = [&] (float position)
    {
        return record (100, 100, [&] (juce::Graphics& g)
            { look.drawRotarySlider (g, 0, 0, 100, 80, position, start, end, slider); });
    };

    // The 100 x 80 example: r = 18, face at (0, -10, 100, 100), bar from radius 19 to 8.1 about (50, 39).
    for (float position : { 0.0f, 0.5f, 1.0f })
    {
        SCOPED_TRACE (position);
        const auto ctx = draw (position);

        const auto images = ctx.callsOf (Kind::drawImage);
        ASSERT_EQ (images.size(), 1u) << "no hover layer without the pointer";
        expectRect (images[0].bounds, 0, -10, 100, 100, "face");
        EXPECT_TRUE (showsPart (images[0].image, knobImage(), { 0, 0, 300, 300 }));

        const auto fills = ctx.callsOf (Kind::fillPath);
        ASSERT_EQ (fills.size(), 3u) << "pointer, frame outline, frame fill";
        EXPECT_EQ (fills[0].colour, greyWhiteQuelm);

        // A rotated rectangle's bounding box is centred on the rectangle's centre: midway between
        // radii 19 and 8.1 along the pointer's direction (clockwise from 12 o'clock).
        const double angle = start + position * (end - start);
        const double mid = 0.5 * (19.0 + 8.1);
        EXPECT_NEAR (fills[0].bounds.getCentreX(), 50.0 + mid * std::sin (angle), 1.0e-3);
        EXPECT_NEAR (fills[0].bounds.getCentreY(), 39.0 - mid * std::cos (angle), 1.0e-3);

        EXPECT_EQ (fills[1].colour, maskQuelm);
        expectRect (fills[1].bounds, 20 - 1, 83 - 1, 60 + 2, 14 + 2, "outline of (20, 83, 60, 14), 2 thick");
        EXPECT_EQ (fills[2].colour, maskTextBox);
        expectRect (fills[2].bounds, 19, 82, 59, 14, "fill");
    }

    // Straight up at the middle: the bar spans x 48 to 52 and y 20 to 30.9.
    expectRect (draw (0.5f).callsOf (Kind::fillPath)[0].bounds, 48, 20, 4, 10.9, "middle pointer");
    EXPECT_EQ (slider.findColour (juce::Slider::textBoxTextColourId), greyTextBoxQuelm);
}

TEST (LookKnobs, HoverTurnsPointerFrameAndValueOrangeOnlyWhenEnabled)
{
    Look look;
    juce::Slider slider (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::TextBoxBelow);
    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 60, 20);
    Stage stage (slider);
    slider.setBounds (0, 0, 100, 100);
    stage.hover (slider);
    ASSERT_TRUE (slider.isMouseOverOrDragging());

    const auto start = juce::MathConstants<float>::pi * 1.2f;
    const auto end = juce::MathConstants<float>::pi * 2.8f;
    auto draw = [&]
    { return record (100, 100, [&] (juce::Graphics& g)
          { look.drawRotarySlider (g, 0, 0, 100, 80, 0.3f, start, end, slider); }); };

    auto ctx = draw();
    auto images = ctx.callsOf (Kind::drawImage);
    ASSERT_EQ (images.size(), 2u);
    expectRect (images[1].bounds, 0, -10, 100, 100, "hover layer over the face");
    EXPECT_TRUE (showsPart (images[1].image, knobHoverImage(), { 0, 0, 300, 300 }));

    auto fills = ctx.callsOf (Kind::fillPath);
    ASSERT_EQ (fills.size(), 3u);
    EXPECT_EQ (fills[0].colour, orangeQuelm);
    EXPECT_EQ (fills[1].colour, orangeorangeQuelm);
    EXPECT_EQ (fills[2].colour, maskTextBox);
    EXPECT_EQ (slider.findColour (juce::Slider::textBoxTextColourId), orangeLightQuelm);

    // The value box was rebuilt with the hover colour.
    auto* valueBox = dynamic_cast<juce::Label*> (slider.getChildComponent (0));
    ASSERT_NE (valueBox, nullptr);
    EXPECT_EQ (valueBox->findColour (juce::Label::textColourId), orangeLightQuelm);

    slider.setEnabled (false);
    ctx = draw();
    EXPECT_EQ (ctx.callsOf (Kind::drawImage).size(), 1u);
    fills = ctx.callsOf (Kind::fillPath);
    EXPECT_EQ (fills[0].colour, greyWhiteQuelm);
    EXPECT_EQ (fills[1].colour, maskQuelm);
    EXPECT_EQ (slider.findColour (juce::Slider::textBoxTextColourId), greyTextBoxQuelm);
}

TEST (LookKnobs, ValueBoxAndLabelFonts)
{
    Look look;
    juce::Slider slider (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::TextBoxBelow);

    juce::LookAndFeel_V4 plain;
    std::unique_ptr<juce::Label> standard (plain.juce::LookAndFeel_V2::createSliderTextBox (slider));
    std::unique_ptr<juce::Label> box (look.createSliderTextBox (slider));
    EXPECT_FLOAT_EQ (box->getFont().getHeight(), standard->getFont().getHeight() - 2.0f);
    EXPECT_FALSE (box->getFont().isBold());
    EXPECT_EQ (box->findColour (juce::Label::textColourId), greyTextBoxQuelm);

    // Every label draws at labelFontHeight, plain, whatever font it was given.
    juce::Label label ({}, "DRIVE");
    label.setFont (juce::Font (30.0f, juce::Font::bold));
    auto font = look.getLabelFont (label);
    EXPECT_FLOAT_EQ (font.getHeight(), 16.0f);
    EXPECT_FALSE (font.isBold());
    EXPECT_EQ (font.getTypefacePtr()->getName(), "Spartan Medium");

    look.labelFontHeight = 11.7f;
    EXPECT_FLOAT_EQ (look.getLabelFont (label).getHeight(), 11.7f);
    EXPECT_FLOAT_EQ (label.getFont().getHeight(), 11.7f) << "the label keeps the font it was given";

    // Through the framework's own label painting.
    label.setLookAndFeel (&look);
    label.setBounds (0, 0, 100, 30);
    look.labelFontHeight = 9.0f;
    const auto ctx = record (100, 30, [&] (juce::Graphics& g)
        { label.paintEntireComponent (g, false); });
    const auto glyphs = glyphsOf (ctx);
    ASSERT_EQ (glyphs.size(), 5u);
    EXPECT_FLOAT_EQ (glyphs[0].font.getHeight(), 9.0f);
    EXPECT_EQ (glyphs[0].colour, greyWhiteQuelm);
    label.setLookAndFeel (nullptr);
}

//==============================================================================
TEST (LookPopupMenu, BackgroundIsARoundedFillInTheTableColour)
{
    Look look;
    const auto ctx = record (200, 100, [&] (juce::Graphics& g)
        { look.drawPopupMenuBackground (g, 200, 100); });
    const auto fills = ctx.callsOf (Kind::fillPath);
    ASSERT_EQ (ctx.calls.size(), 1u);
    ASSERT_EQ (fills.size(), 1u);
    EXPECT_EQ (fills[0].colour, greyOpacityQuelm);
    expectRect (fills[0].bounds, 0, 0, 200, 100);

    look.setColour (juce::PopupMenu::backgroundColourId, juce::Colours::green);
    EXPECT_EQ (record (200, 100, [&] (juce::Graphics& g)
                   { look.drawPopupMenuBackground (g, 200, 100); })
                   .calls[0]
                   .colour,
        juce::Colours::green)
        << "looked up at every call";
}

TEST (LookPopupMenu, ItemsMarkHighlightDisableAndSeparate)
{
    Look look;
    const juce::Rectangle<int> area (0, 0, 200, 24);

    auto draw = [&] (bool separator, bool active, bool highlighted, bool ticked, bool submenu, const juce::Colour* colour = nullptr, juce::String shortcut = {})
    {
        return record (200, 30, [&] (juce::Graphics& g)
            { look.drawPopupMenuItem (g, area, separator, active, highlighted, ticked, submenu, "Warm", shortcut, nullptr, colour); });
    };

    // Plain item: the short mark on top, the text in the item font.
    auto ctx = draw (false, true, false, false, false);
    auto lines = ctx.callsOf (Kind::drawLine);
    ASSERT_EQ (lines.size(), 1u);
    EXPECT_EQ (lines[0].colour, termsQuelm);
    EXPECT_EQ (lines[0].line, juce::Line<float> (80.0f, 0.0f, 120.0f, 0.0f));
    auto glyphs = glyphsOf (ctx);
    ASSERT_EQ (glyphs.size(), 4u);
    EXPECT_EQ (glyphs[0].colour, greyWhiteQuelm);
    EXPECT_FLOAT_EQ (glyphs[0].font.getHeight(), 0.64f * 24.0f);
    EXPECT_FALSE (glyphs[0].font.isBold());
    const auto plainLeft = glyphs[0].bounds.getX();

    // An item's own colour is used unless highlighted.
    const auto red = juce::Colours::red;
    EXPECT_EQ (glyphsOf (draw (false, true, false, false, false, &red))[0].colour, red);

    // Highlighted: filled edge to edge, white text even over a colour of its own.
    ctx = draw (false, true, true, false, false, &red);
    auto rects = ctx.callsOf (Kind::fillRect);
    ASSERT_EQ (rects.size(), 1u);
    EXPECT_EQ (rects[0].colour, orangeDarkQuelm);
    expectRect (rects[0].bounds, 0, 0, 200, 24);
    EXPECT_EQ (glyphsOf (ctx)[0].colour, whiteQuelm);

    // Disabled: text at 0.3 opacity, the mark untouched.
    ctx = draw (false, false, false, false, false);
    EXPECT_EQ (ctx.callsOf (Kind::drawLine)[0].colour, termsQuelm);
    EXPECT_EQ (glyphsOf (ctx)[0].colour, greyWhiteQuelm.withAlpha (0.3f));

    // Separator: only its bottom line.
    ctx = draw (true, true, false, false, false);
    ASSERT_EQ (ctx.calls.size(), 1u);
    EXPECT_EQ (ctx.calls[0].kind, Kind::drawLine);
    EXPECT_EQ (ctx.calls[0].colour, whitePadQuelm);
    EXPECT_EQ (ctx.calls[0].line, juce::Line<float> (0.0f, 24.0f, 200.0f, 24.0f));

    // Submenu: an arrow in a strip at the right, and the text centred in what is left.
    const auto a = look.getPopupMenuFont().getAscent() * 0.6f;
    ctx = draw (false, false, false, false, true);
    const auto arrows = ctx.callsOf (Kind::fillPath);
    ASSERT_EQ (arrows.size(), 1u);
    EXPECT_EQ (arrows[0].colour, greyWhiteQuelm.withAlpha (0.3f)) << "the arrow of a disabled item is dimmed too";
    expectRect (arrows[0].bounds, 200 - (int) a, 12 - 0.5 * a, 0.6 * a, a, "arrow");
    EXPECT_NEAR (glyphsOf (ctx)[0].bounds.getX(), plainLeft - 0.5f * (float) (int) a, 0.51f);

    // A tick or an icon is not drawn: a ticked item draws exactly what an unticked one does.
    EXPECT_EQ (draw (false, true, false, true, false).calls.size(), draw (false, true, false, false, false).calls.size());

    // Shortcut text in a smaller, narrower copy of the item font.
    glyphs = glyphsOf (draw (false, true, false, false, false, nullptr, "K"));
    ASSERT_EQ (glyphs.size(), 5u);
    EXPECT_FLOAT_EQ (glyphs.back().font.getHeight(), 0.75f * 0.64f * 24.0f);
    EXPECT_FLOAT_EQ (glyphs.back().font.getHorizontalScale(), 0.95f);
}

TEST (LookPopupMenu, SectionHeaderInTheBoldMenuFontUnscaled)
{
    Look look;
    const auto ctx = record (200, 40, [&] (juce::Graphics& g)
        { look.drawPopupMenuSectionHeader (g, { 0, 0, 200, 40 }, "Drum"); });
    const auto glyphs = glyphsOf (ctx);
    ASSERT_EQ (glyphs.size(), 4u);
    EXPECT_EQ (glyphs[0].colour, orangeQuelm);
    EXPECT_TRUE (glyphs[0].font.isBold());
    EXPECT_FLOAT_EQ (glyphs[0].font.getHeight(), look.getPopupMenuFont().getHeight());
}
