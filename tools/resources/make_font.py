#!/usr/bin/python3
"""Makes resources/SpartanMedium.ttf from Debian's League Spartan Medium (fonts-league-spartan).

Debian ships the family as CFF-flavoured OpenType. The editor's typeface loader wants TrueType
outlines, so the cubic CFF outlines are converted to quadratic glyf outlines (fontTools' cu2qu,
at most 1 font unit of deviation at 2000 units per em), and the family is renamed "Spartan Medium"
with style "Regular": a single-weight family, as the editor's typeface reports it. The typographic
family/subfamily names are dropped so that FreeType reports that name too. The font is licensed
under the SIL Open Font License 1.1, which allows modified versions under the same licence; the
licence text sits beside the font as SpartanMedium-OFL.txt.

usage: make_font.py out.ttf
"""

import sys

from fontTools.pens.cu2quPen import Cu2QuPen
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTFont, newTable

SOURCE = "/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Medium.otf"
FAMILY = "Spartan Medium"
STYLE = "Regular"
POSTSCRIPT = "SpartanMedium-Regular"
MAX_ERROR = 1.0  # font units


def cff_to_glyf(font):
    glyph_order = font.getGlyphOrder()
    glyph_set = font.getGlyphSet()
    glyphs = {}
    for name in glyph_order:
        pen = TTGlyphPen(glyph_set)
        # CFF contours run anticlockwise, TrueType ones clockwise.
        glyph_set[name].draw(Cu2QuPen(pen, MAX_ERROR, reverse_direction=True))
        glyphs[name] = pen.glyph()

    font["loca"] = newTable("loca")
    glyf = font["glyf"] = newTable("glyf")
    glyf.glyphOrder = glyph_order
    glyf.glyphs = glyphs
    del font["CFF "]
    if "VORG" in font:
        del font["VORG"]

    # Left side bearings must match the new outlines' bounds.
    hmtx = font["hmtx"]
    for name in glyph_order:
        glyph = glyphs[name]
        glyph.recalcBounds(glyf)
        advance, _ = hmtx[name]
        hmtx[name] = (advance, getattr(glyph, "xMin", 0))

    maxp = font["maxp"]
    maxp.tableVersion = 0x00010000
    for field in ("maxZones", "maxTwilightPoints", "maxStorage", "maxFunctionDefs",
                  "maxInstructionDefs", "maxStackElements", "maxSizeOfInstructions",
                  "maxComponentElements"):
        setattr(maxp, field, 0)
    maxp.maxZones = 1
    maxp.maxComponentDepth = 0

    post = font["post"]
    post.formatType = 2.0
    post.extraNames = []
    post.mapping = {}
    post.glyphOrder = glyph_order

    font["head"].glyphDataFormat = 0
    font.sfntVersion = "\x00\x01\x00\x00"


def rename(font):
    name = font["name"]
    version = font["head"].fontRevision
    name.names = [n for n in name.names if n.nameID not in (1, 2, 3, 4, 6, 16, 17, 21, 22)]
    values = {
        1: FAMILY,
        2: STYLE,
        3: "%.3f;%s" % (version, POSTSCRIPT),
        4: FAMILY,
        6: POSTSCRIPT,
    }
    for name_id, text in values.items():
        name.setName(text, name_id, 3, 1, 0x409)
        name.setName(text, name_id, 1, 0, 0)
    name.setName("Copyright 2011-2020 Micah Rich, Caroline Hadilaksono, Tyler Finck. "
                 "Modified: TrueType outlines, renamed.", 0, 3, 1, 0x409)

    os2 = font["OS/2"]
    os2.fsSelection = (os2.fsSelection & ~0b1100001) | 0b1000000  # REGULAR, not italic or bold
    font["head"].macStyle = 0


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    # Keep the source's timestamp so that regenerating gives the same bytes.
    font = TTFont(SOURCE, recalcTimestamp=False)
    cff_to_glyf(font)
    rename(font)
    font.save(sys.argv[1])
    return 0


if __name__ == "__main__":
    sys.exit(main())
