#include "editor/EmbeddedTypeface.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr int familyNameId = 1, styleNameId = 2;
constexpr int useTypoMetrics = 1 << 7; // OS/2 fsSelection bit: the typo metrics are the font's own
} // namespace

EmbeddedTypeface::EmbeddedTypeface (const void* fontData, size_t fontSize)
    : bytes (static_cast<const juce::uint8*> (fontData))
    , size (fontData != nullptr ? fontSize : 0)
{
    if (! readTables())
        cmap = loca = glyf = hmtx = 0;
}

// Big-endian reads that give 0 past the end of the data, so a damaged table reads as empty.
int EmbeddedTypeface::u8 (size_t at) const
{
    return at < size ? bytes[at] : 0;
}

int EmbeddedTypeface::u16 (size_t at) const
{
    return at + 2 <= size ? (bytes[at] << 8) | bytes[at + 1] : 0;
}

int EmbeddedTypeface::s16 (size_t at) const
{
    return (int) (juce::int16) (juce::uint16) u16 (at);
}

size_t EmbeddedTypeface::u32 (size_t at) const
{
    return ((size_t) u16 (at) << 16) | (size_t) u16 (at + 2);
}

// The table's offset, or 0 when the font has no such table or it is too short to read.
size_t EmbeddedTypeface::tableOffset (const char* tag, size_t minimumLength) const
{
    const auto tables = u16 (4);

    for (int i = 0; i < tables; ++i)
    {
        const auto record = 12 + 16 * (size_t) i;

        if (record + 16 <= size && std::memcmp (bytes + record, tag, 4) == 0)
        {
            const auto offset = u32 (record + 8), length = u32 (record + 12);
            return offset > 0 && length >= minimumLength && offset + length <= size ? offset : 0;
        }
    }

    return 0;
}

bool EmbeddedTypeface::readTables()
{
    const auto head = tableOffset ("head", 54), hhea = tableOffset ("hhea", 36), maxp = tableOffset ("maxp", 6);
    const auto os2 = tableOffset ("OS/2", 78), cmapTable = tableOffset ("cmap", 4);
    loca = tableOffset ("loca", 2);
    glyf = tableOffset ("glyf", 1);
    hmtx = tableOffset ("hmtx", 4);

    if (head == 0 || hhea == 0 || maxp == 0 || cmapTable == 0 || loca == 0 || glyf == 0 || hmtx == 0)
        return false;

    longOffsets = s16 (head + 50) != 0;
    glyphCount = u16 (maxp + 4);
    advanceCount = u16 (hhea + 34);

    // A Unicode map of format 4: Windows' (platform 3, encoding 1) or else a Unicode platform's.
    for (int pass = 0; pass < 2 && cmap == 0; ++pass)
    {
        for (int i = 0; i < u16 (cmapTable + 2); ++i)
        {
            const auto record = cmapTable + 4 + 8 * (size_t) i;
            const auto platform = u16 (record), encoding = u16 (record + 2);
            const auto subtable = cmapTable + u32 (record + 4);
            const auto wanted = pass == 0 ? platform == 3 && encoding == 1 : platform == 0;

            if (wanted && u16 (subtable) == 4)
            {
                cmap = subtable;
                break;
            }
        }
    }

    // Ascender and descender as FreeType takes them: the typo metrics when the font says they are
    // its own, else hhea's; where those are both zero, the typo metrics, or else the Windows ones.
    auto ascender = s16 (hhea + 4), descender = s16 (hhea + 6);

    if (os2 != 0 && (u16 (os2 + 62) & useTypoMetrics) != 0)
    {
        ascender = s16 (os2 + 68);
        descender = s16 (os2 + 70);
    }
    else if (ascender == 0 && descender == 0 && os2 != 0)
    {
        ascender = s16 (os2 + 68);
        descender = s16 (os2 + 70);

        if (ascender == 0 && descender == 0)
        {
            ascender = u16 (os2 + 74);
            descender = -u16 (os2 + 76);
        }
    }

    if (cmap == 0 || glyphCount == 0 || advanceCount == 0 || ascender - descender <= 0)
        return false;

    // The same float operations as the framework's FreeType typeface, so every scaled coordinate
    // is the same to the bit.
    unitScale = 1.0f / (float) (ascender - descender);
    setCharacteristics (readName (familyNameId),
        readName (styleNameId),
        (float) ascender / (float) (ascender - descender),
        ' '); // what the framework measures a missing character's width by, as on Linux
    return true;
}

// A name from the Windows (UTF-16) records of the name table; empty without one.
juce::String EmbeddedTypeface::readName (int nameId) const
{
    const auto table = tableOffset ("name", 6);

    if (table == 0)
        return {};

    const auto strings = table + (size_t) u16 (table + 4);

    for (int i = 0; i < u16 (table + 2); ++i)
    {
        const auto record = table + 6 + 12 * (size_t) i;

        if (u16 (record) == 3 && u16 (record + 6) == nameId)
        {
            const auto start = strings + (size_t) u16 (record + 10);
            std::vector<juce::CharPointer_UTF16::CharType> text;

            for (size_t at = start; at + 2 <= start + (size_t) u16 (record + 8); at += 2)
                text.push_back ((juce::CharPointer_UTF16::CharType) u16 (at));

            text.push_back (0);
            return juce::String (juce::CharPointer_UTF16 (text.data()));
        }
    }

    return {};
}

// The glyph a segment of the format 4 map gives a character within its range; 0 is .notdef.
int EmbeddedTypeface::glyphInSegment (size_t segment, int c) const
{
    const auto segmentsX2 = (size_t) u16 (cmap + 6);
    const auto starts = cmap + 16 + segmentsX2, deltas = starts + segmentsX2, rangeOffsets = deltas + segmentsX2;
    const auto delta = u16 (deltas + 2 * segment);
    const auto rangeOffset = (size_t) u16 (rangeOffsets + 2 * segment);

    if (rangeOffset == 0)
        return (c + delta) & 0xffff;

    const auto glyph = u16 (rangeOffsets + 2 * segment + rangeOffset + 2 * (size_t) (c - u16 (starts + 2 * segment)));
    return glyph == 0 ? 0 : (glyph + delta) & 0xffff;
}

// The first segment whose range ends at or after the character decides.
int EmbeddedTypeface::glyphFor (juce::juce_wchar character) const
{
    const auto c = (int) character;
    const auto segments = (size_t) u16 (cmap + 6) / 2;

    for (size_t segment = 0; cmap != 0 && c <= 0xffff && segment < segments; ++segment)
        if (c <= u16 (cmap + 14 + 2 * segment))
            return c >= u16 (cmap + 16 + 2 * segments + 2 * segment) ? glyphInSegment (segment, c) : 0;

    return 0;
}

std::vector<juce::juce_wchar> EmbeddedTypeface::getMappedCharacters() const
{
    std::vector<juce::juce_wchar> characters;
    const auto segments = cmap != 0 ? (size_t) u16 (cmap + 6) / 2 : 0;
    int next = 0; // segments are in increasing order; a damaged map's overlaps are skipped

    for (size_t segment = 0; segment < segments; ++segment)
    {
        const auto last = std::min (u16 (cmap + 14 + 2 * segment), 0xfffe);

        for (auto c = std::max (next, u16 (cmap + 16 + 2 * segments + 2 * segment)); c <= last; ++c)
            if (glyphInSegment (segment, c) != 0)
                characters.push_back ((juce::juce_wchar) c);

        next = std::max (next, last + 1);
    }

    return characters;
}

// A simple glyph's points in font units, moved as FreeType moves them so that the glyph's origin
// sits its left side bearing left of its leftmost point. False for a composite or damaged glyph.
bool EmbeddedTypeface::readOutline (int glyph, std::vector<Point>& points, std::vector<int>& contourEnds) const
{
    const auto offset = [this] (int g)
    { return longOffsets ? u32 (loca + 4 * (size_t) g) : 2 * (size_t) u16 (loca + 2 * (size_t) g); };
    const auto start = glyf + offset (glyph), end = glyf + offset (glyph + 1);

    if (end == start)
        return true; // no outline: a space

    const auto contours = s16 (start);

    if (contours < 0 || end < start + 10 || end > size)
        return false;

    for (int c = 0; c < contours; ++c)
    {
        contourEnds.push_back (u16 (start + 10 + 2 * (size_t) c));

        if (c > 0 && contourEnds[(size_t) c] <= contourEnds[(size_t) c - 1])
            return false;
    }

    const auto count = contours > 0 ? (size_t) contourEnds.back() + 1 : 0;
    auto at = start + 12 + 2 * (size_t) contours + (size_t) u16 (start + 10 + 2 * (size_t) contours);
    std::vector<int> flags;

    while (flags.size() < count && at < end)
    {
        const auto flag = u8 (at++);
        auto repeats = (flag & 8) != 0 && at < end ? u8 (at++) : 0;

        for (flags.push_back (flag); repeats > 0 && flags.size() < count; --repeats)
            flags.push_back (flag);
    }

    if (flags.size() < count)
        return false;

    points.resize (count);

    // x then y, each a byte (its sign in the flags), a repeat of the last value or a 16-bit delta.
    for (int axis = 0; axis < 2; ++axis)
    {
        const auto shortBit = axis == 0 ? 2 : 4, sameBit = axis == 0 ? 16 : 32;
        int value = 0;

        for (size_t i = 0; i < count; ++i)
        {
            if ((flags[i] & shortBit) != 0)
            {
                value += (flags[i] & sameBit) != 0 ? u8 (at) : -u8 (at);
                at += 1;
            }
            else if ((flags[i] & sameBit) == 0)
            {
                value += s16 (at);
                at += 2;
            }

            (axis == 0 ? points[i].x : points[i].y) = value;
            points[i].onCurve = (flags[i] & 1) != 0;
        }
    }

    if (at > end)
        return false;

    const auto metric = hmtx + 4 * (size_t) std::min (glyph, advanceCount - 1);
    const auto leftBearing = glyph < advanceCount ? s16 (metric + 2) : s16 (hmtx + 4 * (size_t) advanceCount + 2 * (size_t) (glyph - advanceCount));
    const auto shift = s16 (start + 2) - leftBearing; // the glyph's xMin less its left side bearing

    for (auto& p : points)
        p.x -= shift;

    return true;
}

// The framework's FreeType typeface joins an outline's points into a path this way (Linux draws
// every glyph from it); the same steps in the same float operations give the same path to the bit.
juce::Path EmbeddedTypeface::toPath (const std::vector<Point>& points, const std::vector<int>& contourEnds) const
{
    juce::Path path;
    const auto scaleX = unitScale, scaleY = -unitScale;
    int startPoint = 0;

    for (const auto endPoint : contourEnds)
    {
        for (int p = startPoint; p <= endPoint; ++p)
        {
            const auto& point = points[(size_t) p];
            const auto x = scaleX * (float) point.x, y = scaleY * (float) point.y;

            if (p == startPoint)
            {
                if (point.onCurve)
                {
                    path.startNewSubPath (x, y);
                }
                else
                {
                    // An outline may start off the curve: from its last point, or from halfway there.
                    const auto& last = points[(size_t) endPoint];
                    auto x2 = scaleX * (float) last.x, y2 = scaleY * (float) last.y;

                    if (! last.onCurve)
                    {
                        x2 = (x + x2) * 0.5f;
                        y2 = (y + y2) * 0.5f;
                    }

                    path.startNewSubPath (x2, y2);
                }
            }

            if (point.onCurve)
            {
                if (p != startPoint)
                    path.lineTo (x, y);

                continue;
            }

            // Between two points off the curve lies one on it, halfway.
            const auto nextIndex = p == endPoint ? startPoint : p + 1;
            const auto& next = points[(size_t) nextIndex];
            auto x2 = scaleX * (float) next.x, y2 = scaleY * (float) next.y;

            if (! next.onCurve)
            {
                x2 = (x + x2) * 0.5f;
                y2 = (y + y2) * 0.5f;
            }
            else
            {
                ++p;
            }

            path.quadraticTo (x, y, x2, y2);
        }

        path.closeSubPath();
        startPoint = endPoint + 1;
    }

    return path;
}

bool EmbeddedTypeface::loadGlyphIfPossible (juce::juce_wchar character)
{
    const auto glyph = glyphFor (character);
    std::vector<Point> points;
    std::vector<int> contourEnds;

    if (glyf == 0 || glyph >= glyphCount || ! readOutline (glyph, points, contourEnds))
        return false;

    const auto advance = u16 (hmtx + 4 * (size_t) std::min (glyph, advanceCount - 1));
    addGlyph (character, toPath (points, contourEnds), (float) advance * unitScale);
    return true;
}
