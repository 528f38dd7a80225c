#pragma once

#include <vector>

#include <juce_graphics/juce_graphics.h>

/**
    The embedded TrueType font as a typeface that draws each glyph as a path: the font's own
    outline in font units, scaled and joined exactly as the framework's FreeType typeface does on
    Linux (one unit is 1 / (ascender - descender) of the font height, ascender and descender taken
    as FreeType takes them), with the font's advances. The framework's software renderer fills
    these paths as it fills FreeType's, so text comes out in the same pixels on every platform.

    On Windows the framework's own typeface for a font in memory goes through GDI, which sizes it
    by the font's Windows metrics (usWinAscent + usWinDescent, 2980 units for the embedded font
    against the 1840 FreeType uses: text about 0.62 as high), takes GDI's outlines and applies the
    framework's vertical hinting, none of which the Linux typeface does.

    Reads what the embedded font needs: simple glyph outlines, a format 4 Unicode character map,
    the hhea or OS/2 metrics and the hmtx advances. The embedded font has no composite glyphs
    (tools/resources/make_font.py draws every glyph's own outline) and no 'kern' table (its pair
    spacing is in GPOS, which FreeType's typeface in the framework does not read either); a
    composite glyph is not loaded, and the framework then draws that character with its fallback
    typeface. The font data must outlive the typeface (the module's binary data does). Used as the
    framework uses its own typefaces: loading a glyph is not locked, as FreeType's is not.
*/
class EmbeddedTypeface : public juce::CustomTypeface
{
public:
    /** Reads the font's tables; data that is not a TrueType font this reads leaves a typeface with
        an empty name and no glyphs. */
    EmbeddedTypeface (const void* fontData, size_t fontSize);

    /** Every character the font's Unicode map gives a glyph other than .notdef, in increasing order. */
    std::vector<juce::juce_wchar> getMappedCharacters() const;

    /** Adds the glyph of a character; a character the font does not map gets glyph 0 (.notdef), as
        FreeType gives it. */
    bool loadGlyphIfPossible (juce::juce_wchar character) override;

private:
    struct Point
    {
        int x = 0, y = 0;
        bool onCurve = true;
    };

    bool readTables();
    juce::String readName (int nameId) const;
    int glyphInSegment (size_t segment, int character) const;
    int glyphFor (juce::juce_wchar character) const;
    bool readOutline (int glyph, std::vector<Point>& points, std::vector<int>& contourEnds) const;
    juce::Path toPath (const std::vector<Point>& points, const std::vector<int>& contourEnds) const;

    size_t tableOffset (const char* tag, size_t minimumLength) const;
    int u8 (size_t at) const;
    int u16 (size_t at) const;
    int s16 (size_t at) const;
    size_t u32 (size_t at) const;

    const juce::uint8* bytes;
    size_t size;

    size_t cmap = 0, loca = 0, glyf = 0, hmtx = 0;
    int glyphCount = 0, advanceCount = 0;
    bool longOffsets = false;
    float unitScale = 0.0f; // font height per font unit

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EmbeddedTypeface)
};
