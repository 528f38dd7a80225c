#include <gtest/gtest.h>

#include <algorithm>

#include <MorvantaBinaryData.h>

#include "editor/EditorLayout.h"
#include "editor/EmbeddedTypeface.h"
#include "editor/LookGeometry.h"

namespace
{
// The framework's FreeType typeface, which draws the embedded font on Linux, is the reference:
// Windows draws it through EmbeddedTypeface and must get exactly what Linux draws.
class EmbeddedTypefaceAgainstFreeType : public ::testing::Test
{
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << "the reference, the framework's FreeType typeface, exists on Linux only";
#endif
    }

    juce::Typeface::Ptr ours = new EmbeddedTypeface (MorvantaBinary::SpartanMedium_ttf, (size_t) MorvantaBinary::SpartanMedium_ttfSize);
    juce::Typeface::Ptr reference = juce::Typeface::createSystemTypefaceFor (MorvantaBinary::SpartanMedium_ttf, (size_t) MorvantaBinary::SpartanMedium_ttfSize);
};

juce::String hex (juce::juce_wchar c)
{
    return "U+" + juce::String::toHexString ((int) c).paddedLeft ('0', 4);
}

// Text as the window draws it: the framework's software renderer, at a position off the pixel grid.
juce::Image draw (const juce::Typeface::Ptr& typeface, const juce::String& text, float height)
{
    juce::Image image (juce::Image::ARGB, 160, 40, true);
    juce::Graphics g (image);
    g.setColour (juce::Colours::white);
    g.setFont (juce::Font (typeface).withHeight (height));
    g.drawSingleLineText (text, 3, 30);
    g.setFont (juce::Font (typeface).withHeight (height * 0.75f));
    g.drawText (text, juce::Rectangle<float> (1.3f, 0.6f, 150.0f, 12.0f), juce::Justification::centred);
    return image;
}

bool samePixels (const juce::Image& a, const juce::Image& b)
{
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return false;

    return true;
}
} // namespace

TEST_F (EmbeddedTypefaceAgainstFreeType, GlyphsSpacingAndMetricsAreFreeTypesToTheBit)
{
    EXPECT_EQ (ours->getName(), reference->getName());
    EXPECT_EQ (ours->getStyle(), reference->getStyle());
    EXPECT_EQ (ours->getAscent(), reference->getAscent());
    EXPECT_EQ (ours->getDescent(), reference->getDescent());

    // Every character the font maps, and characters it does not (they get .notdef from both).
    auto characters = dynamic_cast<EmbeddedTypeface&> (*ours).getMappedCharacters();
    EXPECT_GT (characters.size(), 300u);
    EXPECT_TRUE (std::all_of (characters.begin(), characters.end(), [] (auto c)
        { return c > 0 && c < 0xffff; }));

    for (const juce::juce_wchar c : { 0x01, 0x7f, 0x4e00, 0xfffd })
        if (std::find (characters.begin(), characters.end(), c) == characters.end())
            characters.push_back (c);

    for (const auto c : characters)
    {
        juce::Path path, expected;
        ASSERT_TRUE (ours->getOutlineForGlyph ((int) c, path)) << hex (c);
        ASSERT_TRUE (reference->getOutlineForGlyph ((int) c, expected)) << hex (c);
        EXPECT_TRUE (path == expected) << hex (c) << ": " << path.toString() << " against " << expected.toString();

        const auto text = juce::String::charToString (c);
        EXPECT_EQ (ours->getStringWidth (text), reference->getStringWidth (text)) << hex (c);
    }

    // No pair of printable characters is kerned by one and not the other.
    for (juce::juce_wchar first = ' '; first < 0x7f; ++first)
        for (juce::juce_wchar second = ' '; second < 0x7f; ++second)
        {
            const auto pair = juce::String::charToString (first) + juce::String::charToString (second);
            ASSERT_EQ (ours->getStringWidth (pair), reference->getStringWidth (pair)) << pair;
        }
}

TEST_F (EmbeddedTypefaceAgainstFreeType, DrawsTheWindowsTextsInFreeTypesPixels)
{
    // The window's texts at the heights of its labels and buttons at its smallest, first and
    // largest sizes, and of its menus' items.
    std::vector<float> heights{ 17.0f, 0.64f * 24.0f };

    for (const auto width : { 450, 900, 1800 })
    {
        const auto l = EditorLayout::compute (width, width * 7 / 18);
        heights.insert (heights.end(), { l.labelFontHeight, LookGeometry::buttonFontHeight (l.modeButtonHeight), LookGeometry::buttonFontHeight (l.buttonSide), LookGeometry::buttonFontHeight (l.presetsButton.getHeight()) });
    }

    for (const auto* text : { "PRESETS", "CLEAN BASS", "18.0 dB", "25.0 %", "TUBE", "CONSOLE", "1x", "< > - U A S N" })
        for (const auto height : heights)
            EXPECT_TRUE (samePixels (draw (ours, text, height), draw (reference, text, height))) << text << " at " << height;
}

TEST (EmbeddedTypeface, DamagedFontDataReadsNothingBeyondItself)
{
    const juce::MemoryBlock font (MorvantaBinary::SpartanMedium_ttf, (size_t) MorvantaBinary::SpartanMedium_ttfSize);

    // A typeface whose glyphs it cannot read must not be a usable font.
    for (const auto& data : { juce::MemoryBlock(), juce::MemoryBlock (12, true), juce::MemoryBlock (font.getData(), 1000) })
    {
        EmbeddedTypeface typeface (data.getData(), data.getSize());
        EXPECT_TRUE (typeface.getName().isEmpty());
        EXPECT_TRUE (typeface.getMappedCharacters().empty());
    }

    // Cut short anywhere, or with bytes overwritten, it reads within the data (the sanitizer
    // build checks every read) and draws whatever glyphs survive.
    juce::Random random (29);

    for (size_t length = 0; length < font.getSize(); length += 1499)
    {
        juce::MemoryBlock damaged (font.getData(), length);

        if (length > 0)
            for (int i = 0; i < 200; ++i)
                damaged[(size_t) random.nextInt ((int) length)] = (char) random.nextInt (256);

        for (const auto& data : { juce::MemoryBlock (font.getData(), length), damaged })
        {
            EmbeddedTypeface typeface (data.getData(), data.getSize());

            for (const auto c : typeface.getMappedCharacters())
                typeface.loadGlyphIfPossible (c);

            typeface.loadGlyphIfPossible (0x4e00); // unmapped: .notdef
        }
    }

    EmbeddedTypeface whole (font.getData(), font.getSize());
    EXPECT_EQ (whole.getName(), "Spartan Medium");
}
