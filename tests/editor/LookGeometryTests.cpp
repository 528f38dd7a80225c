#include <gtest/gtest.h>

#include "editor/LookGeometry.h"

#include <cmath>

using LookGeometry::ButtonShape;

namespace
{
void expectRect (juce::Rectangle<float> actual, double x, double y, double w, double h, const char* what)
{
    EXPECT_NEAR (actual.getX(), x, 1.0e-4) << what;
    EXPECT_NEAR (actual.getY(), y, 1.0e-4) << what;
    EXPECT_NEAR (actual.getWidth(), w, 1.0e-4) << what;
    EXPECT_NEAR (actual.getHeight(), h, 1.0e-4) << what;
}
} // namespace

TEST (LookGeometry, BackgroundShapeFollowsTheProportionsAtHeight36)
{
    for (int w = 1; w <= 35; ++w)
        EXPECT_EQ (LookGeometry::textButtonShape (w, 36), ButtonShape::none) << w;

    EXPECT_EQ (LookGeometry::textButtonShape (36, 36), ButtonShape::square);

    for (int w = 37; w <= 70; ++w)
        EXPECT_EQ (LookGeometry::textButtonShape (w, 36), ButtonShape::longHalfEnds) << w;

    for (int w : { 71, 72, 73 })
        EXPECT_EQ (LookGeometry::textButtonShape (w, 36), ButtonShape::wide) << w;

    for (int w : { 74, 75, 100, 225, 1000 })
        EXPECT_EQ (LookGeometry::textButtonShape (w, 36), ButtonShape::longPieces) << w;
}

TEST (LookGeometry, LongBackgroundIsCutIntoEndsAndAStretchedMiddle)
{
    using R = juce::Rectangle<int>;

    // 400 x 200 image on a 100 x 36 button: square ends, source columns 200 to 300 in the middle.
    auto p = LookGeometry::backgroundPieces (ButtonShape::longPieces, 100, 36, 400, 200);
    ASSERT_EQ (p.count, 3);
    EXPECT_EQ (p.pieces[0].destination, R (0, 0, 36, 36));
    EXPECT_EQ (p.pieces[0].source, R (0, 0, 200, 200));
    EXPECT_EQ (p.pieces[1].destination, R (64, 0, 36, 36));
    EXPECT_EQ (p.pieces[1].source, R (200, 0, 200, 200));
    EXPECT_EQ (p.pieces[2].destination, R (36, 0, 28, 36));
    EXPECT_EQ (p.pieces[2].source, R (200, 0, 100, 200));

    // 50 x 36: half ends from columns 0-100 and 300-400, columns 100 to 220 in the middle. The
    // right end's source runs past the image and is clipped when drawn.
    p = LookGeometry::backgroundPieces (ButtonShape::longHalfEnds, 50, 36, 400, 200);
    ASSERT_EQ (p.count, 3);
    EXPECT_EQ (p.pieces[0].destination, R (0, 0, 18, 36));
    EXPECT_EQ (p.pieces[0].source, R (0, 0, 100, 200));
    EXPECT_EQ (p.pieces[1].destination, R (32, 0, 36, 36));
    EXPECT_EQ (p.pieces[1].source, R (300, 0, 200, 200));
    EXPECT_EQ (p.pieces[2].destination, R (18, 0, 14, 36));
    EXPECT_EQ (p.pieces[2].source, R (100, 0, 120, 200));

    // An odd height truncates the half end: 34 x 33 (the arrow buttons).
    p = LookGeometry::backgroundPieces (ButtonShape::longHalfEnds, 34, 33, 400, 200);
    EXPECT_EQ (p.pieces[0].destination, R (0, 0, 16, 33));
    EXPECT_EQ (p.pieces[1].destination, R (17, 0, 33, 33));
    EXPECT_EQ (p.pieces[2].destination, R (16, 0, 1, 33));

    p = LookGeometry::backgroundPieces (ButtonShape::wide, 72, 36, 400, 200);
    ASSERT_EQ (p.count, 1);
    EXPECT_EQ (p.pieces[0].destination, R (0, 0, 72, 36));
    EXPECT_EQ (p.pieces[0].source, R (0, 0, 400, 200));

    EXPECT_EQ (LookGeometry::backgroundPieces (ButtonShape::none, 20, 36, 400, 200).count, 0);
    EXPECT_EQ (LookGeometry::backgroundPieces (ButtonShape::longPieces, 100, 36, 0, 0).pieces[2].source.getWidth(), 0)
        << "an empty image yields empty sources";
}

TEST (LookGeometry, HoverHighlightIsACircleOrAPillWithAThresholdAtTwiceTheHeightPlusThree)
{
    auto h = LookGeometry::hoverHighlight (33, 33);
    expectRect (h.area, 3.3, 3.3, 26.4, 26.4, "square");
    EXPECT_NEAR (h.cornerSize, 16.5, 1.0e-5);

    h = LookGeometry::hoverHighlight (74, 36);
    expectRect (h.area, 0.05 * 74, 5.4, 0.9 * 74, 25.2, "74 x 36");
    EXPECT_NEAR (h.cornerSize, 18.0, 1.0e-5);

    h = LookGeometry::hoverHighlight (75, 36);
    expectRect (h.area, 0.03 * 75, 5.4, 0.94 * 75, 25.2, "75 x 36");

    h = LookGeometry::hoverHighlight (20, 36);
    expectRect (h.area, 1.0, 5.4, 18.0, 25.2, "narrower than high still gets a pill");
}

TEST (LookGeometry, ButtonTextAreaAndFont)
{
    EXPECT_FLOAT_EQ (LookGeometry::buttonFontHeight (36), 10.8f);
    EXPECT_EQ (LookGeometry::buttonTextArea (72, 36, false, false), juce::Rectangle<int> (4, 5, 64, 28));

    // Connected edges halve their indent: corner 18 / (2 * 4) = 2.
    EXPECT_EQ (LookGeometry::buttonTextArea (72, 36, true, false), juce::Rectangle<int> (2, 5, 66, 28));
    EXPECT_EQ (LookGeometry::buttonTextArea (72, 36, true, true), juce::Rectangle<int> (2, 5, 68, 28));

    // The smallest editor button (16 high): i = 2, corner = 8.
    EXPECT_EQ (LookGeometry::buttonTextArea (16, 16, false, false), juce::Rectangle<int> (4, 3, 8, 12));

    // No room left: 4 x 10 has i = 1, corner 2, indents 2 + 2.
    EXPECT_TRUE (LookGeometry::buttonTextArea (4, 10, false, false).isEmpty());
    EXPECT_FALSE (LookGeometry::buttonTextArea (5, 10, false, false).isEmpty());

    // Under about 6 pixels high the indent rounds to 0: no text rather than a division by zero.
    for (int h = 0; h <= 5; ++h)
        EXPECT_TRUE (LookGeometry::buttonTextArea (40, h, false, false).isEmpty()) << h;
    EXPECT_FALSE (LookGeometry::buttonTextArea (40, 6, false, false).isEmpty());
}

TEST (LookGeometry, ImageButtonPictureIsFortyPercentOfTheButtonCentred)
{
    const juce::Rectangle<float> image (0.0f, 0.0f, 100.0f, 100.0f);

    // The power button at the first window size.
    auto t = LookGeometry::imageButtonTransform (image, { 0, 0, 33, 33 }, 33, 33);
    expectRect (image.transformedBy (t), 9.9, 9.9, 13.2, 13.2, "power button");

    // An image area smaller than the button is scaled by 0.4 about the origin, then moved by
    // 30 % of the button: area (10, 20, 50, 40) on 100 x 80 lands at (34, 32, 20, 16).
    t = LookGeometry::imageButtonTransform (image, { 10, 20, 50, 40 }, 100, 80);
    expectRect (image.transformedBy (t), 0.4 * 10 + 30, 0.4 * 20 + 24, 20, 16, "partial area");
}

TEST (LookGeometry, RotaryKnobRadiusFaceAndAngle)
{
    EXPECT_NEAR (LookGeometry::rotaryPointerRadius (100, 80), 18.0f, 1.0e-5f);
    EXPECT_EQ (LookGeometry::rotaryFaceBounds (100), juce::Rectangle<int> (0, -10, 100, 100));
    EXPECT_EQ (LookGeometry::rotaryFaceBounds (89), juce::Rectangle<int> (0, -8, 89, 89)) << "truncated toward zero";

    // Narrower than tall: width / 2 - 0.22 width.
    EXPECT_NEAR (LookGeometry::rotaryPointerRadius (40, 80), 20.0f - 8.8f, 1.0e-5f);
    // Odd sizes halve by integer division: min (72 / 2, 89 / 2) = 36.
    EXPECT_NEAR (LookGeometry::rotaryPointerRadius (89, 72), 36.0f - 0.22f * 89.0f, 1.0e-5f);

    const auto start = juce::MathConstants<float>::pi * 1.2f;
    const auto end = juce::MathConstants<float>::pi * 2.8f;
    EXPECT_FLOAT_EQ (LookGeometry::rotaryPointerAngle (0.0f, start, end), start);
    EXPECT_FLOAT_EQ (LookGeometry::rotaryPointerAngle (0.5f, start, end), juce::MathConstants<float>::twoPi);
    EXPECT_FLOAT_EQ (LookGeometry::rotaryPointerAngle (1.0f, start, end), end);
}

TEST (LookGeometry, SubmenuArrowTakesAStripOffTheRight)
{
    juce::Rectangle<int> r (0, 0, 200, 24);
    const auto arrow = LookGeometry::submenuArrow (r, 9.5f);

    EXPECT_EQ (r, juce::Rectangle<int> (0, 0, 191, 24)) << "strip of (int) 9.5 = 9 pixels";
    expectRect (arrow.getBounds(), 191, 12 - 4.75, 0.6 * 9.5, 9.5, "right-pointing triangle");
}
