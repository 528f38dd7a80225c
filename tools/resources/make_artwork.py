#!/usr/bin/python3
"""Writes the SVG sources of the editor's artwork into resources/src/.

The shapes are simple, but several have many repeated parts (knob ridges, scale ticks, brushed
lines) and the title is set from the League Spartan outlines, so the SVG files are generated
here rather than drawn by hand. regenerate.sh renders them to the PNGs in resources/.

Geometry that the look-and-feel depends on:
- knob.png / knobHover.png (300 x 300): the knob face is centred; the drawing code puts the
  pointer bar between 0.08 and 0.185 of the image size from the centre, so the knob's top cap
  must cover at least that radius. Everything stays within 0.4 of the size from the centre,
  because the face is drawn 0.1 of its size above the knob area and would be cut off there.
- buttonSquare*.png (200 x 200): a round button; the hover highlight is a circle of 0.8 of
  the size, so the button's bezel is just inside it.
- buttonWide*.png / buttonLong*.png (400 x 200): a pill whose hover highlight spans 0.7 of the
  height. The long images are cut into pieces and their columns 100 to 300 are stretched, so
  between the rounded ends everything must be uniform along x (vertical gradients only).
- power*.png (100 x 100): the icon only, drawn at 40 % of the button over the square image.
- title.png (1000 x 213): the wordmark, drawn over the bright top of the window's gradient.
"""

import math
import os
import sys

from fontTools.pens.svgPathPen import SVGPathPen
from fontTools.pens.transformPen import TransformPen
from fontTools.ttLib import TTFont

from lcg import Lcg

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "resources", "src")
TITLE_FONT = "/usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf"

# Palette colours the artwork shares with the drawing code.
ORANGE = "#ECA019"
ORANGE_LIGHT = "#D28218"
GREY_WHITE = "#D2D3D3"
GREY_TEXT_OFF = "#AAACB1"


def fmt(v):
    return ("%.2f" % v).rstrip("0").rstrip(".")


def svg(width, height, body, defs=""):
    return (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
        "<defs>\n%s</defs>\n%s</svg>\n" % (width, height, width, height, defs, body)
    )


def vgrad(gid, stops):
    s = "".join(
        '  <stop offset="%s" stop-color="%s" stop-opacity="%s"/>\n' % (fmt(o), c, fmt(a))
        for o, c, a in stops
    )
    return '<linearGradient id="%s" x1="0" y1="0" x2="0" y2="1">\n%s</linearGradient>\n' % (gid, s)


def rgrad(gid, cx, cy, r, stops):
    s = "".join(
        '  <stop offset="%s" stop-color="%s" stop-opacity="%s"/>\n' % (fmt(o), c, fmt(a))
        for o, c, a in stops
    )
    return '<radialGradient id="%s" cx="%s" cy="%s" r="%s">\n%s</radialGradient>\n' % (
        gid, fmt(cx), fmt(cy), fmt(r), s)


def blur(fid, sd):
    return ('<filter id="%s" x="-50%%" y="-50%%" width="200%%" height="200%%">'
            '<feGaussianBlur stdDeviation="%s"/></filter>\n' % (fid, fmt(sd)))


def circle(cx, cy, r, attrs):
    return '<circle cx="%s" cy="%s" r="%s" %s/>\n' % (fmt(cx), fmt(cy), fmt(r), attrs)


def pill(x0, y0, x1, y1, attrs):
    r = 0.5 * (y1 - y0)
    return '<rect x="%s" y="%s" width="%s" height="%s" rx="%s" ry="%s" %s/>\n' % (
        fmt(x0), fmt(y0), fmt(x1 - x0), fmt(y1 - y0), fmt(r), fmt(r), attrs)


def polar(cx, cy, r, degrees):
    """Point at angle degrees clockwise from 12 o'clock."""
    a = math.radians(degrees)
    return cx + r * math.sin(a), cy - r * math.cos(a)


def line(p, q, attrs):
    return '<line x1="%s" y1="%s" x2="%s" y2="%s" %s/>\n' % (
        fmt(p[0]), fmt(p[1]), fmt(q[0]), fmt(q[1]), attrs)


# ------------------------------------------------------------------------------------------------
# Knob

KNOB = 300
KC = 150.0
SCALE_START, SCALE_END, SCALE_TICKS = 216.0, 504.0, 21


def scale_ticks(colour, major_opacity, minor_opacity, width_boost=0.0):
    out = ""
    for i in range(SCALE_TICKS):
        angle = SCALE_START + (SCALE_END - SCALE_START) * i / (SCALE_TICKS - 1)
        major = i % 5 == 0
        r0, r1 = (101.0, 114.0) if major else (104.0, 111.0)
        w = (3.4 if major else 2.0) + width_boost
        out += line(polar(KC, KC, r0, angle), polar(KC, KC, r1, angle),
                    'stroke="%s" stroke-opacity="%s" stroke-width="%s" stroke-linecap="round"'
                    % (colour, fmt(major_opacity if major else minor_opacity), fmt(w)))
    return out


def knob_face():
    defs = (
        blur("soft6", 6) + blur("soft2", 2) + blur("soft10", 10)
        + vgrad("plate", [(0, "#0b0c0c", 0.78), (1, "#262727", 0.7)])
        + vgrad("plateRim", [(0, "#000000", 0.55), (0.5, "#000000", 0.0), (1, "#ffffff", 0.16)])
        + vgrad("skirt", [(0, "#57595b", 1), (0.45, "#2d2e2f", 1), (1, "#121313", 1)])
        + vgrad("skirtRim", [(0, "#ffffff", 0.35), (0.5, "#ffffff", 0.0), (1, "#000000", 0.5)])
        + vgrad("capBevel", [(0, "#7a7c7e", 1), (0.5, "#2f3031", 1), (1, "#0c0d0d", 1)])
        + rgrad("cap", 0.42, 0.36, 0.8, [(0, "#4a4b4d", 1), (0.55, "#2c2d2e", 1), (1, "#1c1d1d", 1)])
    )
    b = ""
    # Recessed plate carrying the scale, so the ticks read on light and dark panel areas alike.
    b += circle(KC, KC, 118, 'fill="url(#plate)"')
    b += circle(KC, KC, 117.5, 'fill="none" stroke="url(#plateRim)" stroke-width="2"')
    b += scale_ticks(GREY_WHITE, 0.8, 0.45)
    # Shadow of the knob on the plate.
    b += circle(KC, KC + 7, 93, 'fill="#000000" fill-opacity="0.7" filter="url(#soft6)"')
    # Knurled skirt.
    b += circle(KC, KC, 92, 'fill="url(#skirt)"')
    ridges = 72
    for i in range(ridges):
        angle = 360.0 * i / ridges
        light = 0.03 + 0.14 * max(0.0, math.cos(math.radians(angle)))
        b += line(polar(KC, KC, 74, angle), polar(KC, KC, 91, angle),
                  'stroke="#000000" stroke-opacity="0.45" stroke-width="2.2"')
        b += line(polar(KC, KC, 74, angle + 1.6), polar(KC, KC, 91, angle + 1.6),
                  'stroke="#ffffff" stroke-opacity="%s" stroke-width="1.2"' % fmt(light))
    b += circle(KC, KC, 91.2, 'fill="none" stroke="url(#skirtRim)" stroke-width="1.6"')
    # Top cap: a bevelled, spun-metal disc.
    b += circle(KC, KC + 3, 72, 'fill="#000000" fill-opacity="0.6" filter="url(#soft2)"')
    b += circle(KC, KC, 71, 'fill="url(#capBevel)"')
    b += circle(KC, KC, 67, 'fill="url(#cap)"')
    for r in range(6, 66, 3):
        b += circle(KC, KC, r, 'fill="none" stroke="#ffffff" stroke-opacity="%s" stroke-width="1"'
                    % ("0.035" if (r // 3) % 2 else "0.015"))
    # Anisotropic sheen of spun metal: two opposite soft wedges.
    for a0 in (-40.0, 140.0):
        p0 = polar(KC, KC, 64, a0 - 14)
        p1 = polar(KC, KC, 64, a0 + 14)
        b += ('<path d="M%s %s L%s %s L%s %s Z" fill="#ffffff" fill-opacity="0.07" filter="url(#soft6)"/>\n'
              % (fmt(KC), fmt(KC), fmt(p0[0]), fmt(p0[1]), fmt(p1[0]), fmt(p1[1])))
    b += ('<ellipse cx="133" cy="118" rx="38" ry="24" fill="#ffffff" fill-opacity="0.07" '
          'filter="url(#soft10)"/>\n')
    return svg(KNOB, KNOB, b, defs)


def knob_hover():
    defs = blur("glow", 5) + blur("glowWide", 9)
    b = ""
    b += circle(KC, KC, 96.5, 'fill="none" stroke="%s" stroke-opacity="0.55" stroke-width="9" '
                'filter="url(#glowWide)"' % ORANGE)
    b += circle(KC, KC, 96.5, 'fill="none" stroke="%s" stroke-opacity="0.85" stroke-width="4" '
                'filter="url(#glow)"' % ORANGE)
    b += circle(KC, KC, 96.5, 'fill="none" stroke="%s" stroke-width="2.6"' % ORANGE)
    b += scale_ticks(ORANGE, 0.95, 0.7, 0.2)
    return svg(KNOB, KNOB, b, defs)


def slider_thumb():
    c = 100.0
    defs = (blur("soft", 4) + vgrad("body", [(0, "#56585a", 1), (0.5, "#2c2d2e", 1), (1, "#151616", 1)])
            + rgrad("top", 0.45, 0.38, 0.75, [(0, "#4a4b4d", 1), (1, "#1e1f1f", 1)]))
    b = circle(c, c + 5, 47, 'fill="#000000" fill-opacity="0.6" filter="url(#soft)"')
    b += circle(c, c, 46, 'fill="url(#body)"')
    b += circle(c, c, 40, 'fill="url(#top)"')
    b += line((c - 24, c), (c + 24, c), 'stroke="%s" stroke-width="5" stroke-linecap="round"' % ORANGE)
    return svg(200, 200, b, defs)


# ------------------------------------------------------------------------------------------------
# Buttons. One geometry for the square ones and one for the pill-shaped ones.

SQ = 100.0
SQ_BEZEL, SQ_RING, SQ_CAP = 84.0, 79.0, 70.0

PILL_BEZEL = (14.0, 24.0, 386.0, 176.0)
PILL_RING = (21.0, 31.0, 379.0, 169.0)
PILL_CAP = (30.0, 40.0, 370.0, 160.0)


def inset(box, d):
    return (box[0] + d, box[1] + d, box[2] - d, box[3] - d)


def shade_defs(kind):
    """Gradients for the caps: dark raised, dark pressed and light (aluminium) raised."""
    d = (vgrad("bezel", [(0, "#080909", 1), (1, "#2a2b2b", 1)])
         + vgrad("bezelRim", [(0, "#000000", 0.6), (0.55, "#000000", 0.0), (1, "#ffffff", 0.2)])
         + vgrad("capEdge", [(0, "#ffffff", 0.38), (0.35, "#ffffff", 0.0), (1, "#000000", 0.45)])
         + vgrad("pressEdge", [(0, "#000000", 0.7), (0.4, "#000000", 0.0), (1, "#ffffff", 0.14)])
         + vgrad("ringOff", [(0, "#1a1510", 1), (1, "#3a2a14", 1)])
         + vgrad("ringOn", [(0, "#FFC860", 1), (0.5, ORANGE, 1), (1, ORANGE_LIGHT, 1)])
         + blur("soft2", 2) + blur("soft4", 4) + blur("glow", 6))
    if kind == "dark":
        d += vgrad("cap", [(0, "#4b4c4e", 1), (0.5, "#2e2f30", 1), (1, "#1c1d1e", 1)])
    elif kind == "pressed":
        d += vgrad("cap", [(0, "#151616", 1), (0.55, "#232425", 1), (1, "#2d2e2f", 1)])
    else:
        d += vgrad("cap", [(0, "#f2f3f3", 1), (0.45, "#d3d5d8", 1), (1, "#a7aaae", 1)])
    return d


def square_button(on):
    defs = shade_defs("pressed" if on else "dark")
    b = circle(SQ, SQ + 4, SQ_BEZEL + 2, 'fill="#000000" fill-opacity="0.5" filter="url(#soft4)"')
    b += circle(SQ, SQ, SQ_BEZEL, 'fill="url(#bezel)"')
    b += circle(SQ, SQ, SQ_BEZEL - 0.8, 'fill="none" stroke="url(#bezelRim)" stroke-width="1.6"')
    if on:
        b += circle(SQ, SQ, SQ_RING - 3, 'fill="none" stroke="%s" stroke-opacity="0.9" stroke-width="12" '
                    'filter="url(#glow)"' % ORANGE)
        b += circle(SQ, SQ, SQ_RING, 'fill="url(#ringOn)"')
    else:
        b += circle(SQ, SQ, SQ_RING, 'fill="url(#ringOff)"')
    b += circle(SQ, SQ + (1 if on else 4), SQ_CAP + 1, 'fill="#000000" fill-opacity="0.75" filter="url(#soft2)"')
    b += circle(SQ, SQ, SQ_CAP, 'fill="url(#cap)"')
    b += circle(SQ, SQ, SQ_CAP - 1.2, 'fill="none" stroke="url(#%s)" stroke-width="2.4"'
                % ("pressEdge" if on else "capEdge"))
    if on:
        b += circle(SQ, SQ, SQ_CAP - 0.6, 'fill="none" stroke="%s" stroke-opacity="0.35" stroke-width="1.2"' % ORANGE)
    else:
        b += ('<ellipse cx="%s" cy="%s" rx="44" ry="26" fill="#ffffff" fill-opacity="0.06" filter="url(#soft4)"/>\n'
              % (fmt(SQ), fmt(SQ - 30)))
    return svg(200, 200, b, defs)


def brushed_lines(box, seed, light):
    """Horizontal hairlines across the whole cap: uniform along x, so the pieces may stretch."""
    rnd = Lcg(seed)
    out = '<g clip-path="url(#capClip)">\n'
    y = box[1]
    while y < box[3]:
        alpha = 0.02 + 0.05 * rnd.next()
        colour = "#ffffff" if rnd.next() < (0.6 if light else 0.5) else "#000000"
        out += line((0, y), (400, y), 'stroke="%s" stroke-opacity="%s" stroke-width="0.8"' % (colour, fmt(alpha)))
        y += 1.2 + 1.8 * rnd.next()
    return out + "</g>\n"


def pill_button(on, light):
    kind = "pressed" if on else ("light" if light else "dark")
    defs = shade_defs(kind)
    defs += '<clipPath id="capClip">%s</clipPath>\n' % pill(*PILL_CAP, attrs="")
    b = pill(PILL_BEZEL[0], PILL_BEZEL[1] + 4, PILL_BEZEL[2], PILL_BEZEL[3] + 4,
             'fill="#000000" fill-opacity="0.5" filter="url(#soft4)"')
    b += pill(*PILL_BEZEL, attrs='fill="url(#bezel)"')
    b += pill(*inset(PILL_BEZEL, 0.8), attrs='fill="none" stroke="url(#bezelRim)" stroke-width="1.6"')
    if on:
        b += pill(*inset(PILL_RING, 3), attrs='fill="none" stroke="%s" stroke-opacity="0.9" stroke-width="12" '
                  'filter="url(#glow)"' % ORANGE)
        b += pill(*PILL_RING, attrs='fill="url(#ringOn)"')
    else:
        b += pill(*PILL_RING, attrs='fill="url(#ringOff)"')
    shadow = inset(PILL_CAP, -1)
    dy = 1 if on else 4
    b += pill(shadow[0], shadow[1] + dy, shadow[2], shadow[3] + dy,
              'fill="#000000" fill-opacity="0.75" filter="url(#soft2)"')
    b += pill(*PILL_CAP, attrs='fill="url(#cap)"')
    if light and not on:
        b += brushed_lines(PILL_CAP, 7, True)
    b += pill(*inset(PILL_CAP, 1.2), attrs='fill="none" stroke="url(#%s)" stroke-width="2.4"'
              % ("pressEdge" if on else "capEdge"))
    if on:
        b += pill(*inset(PILL_CAP, 0.6), attrs='fill="none" stroke="%s" stroke-opacity="0.35" stroke-width="1.2"'
                  % ORANGE)
    return svg(400, 200, b, defs)


def power_icon(on):
    c = 50.0
    gap = 38.0
    r = 27.0
    p0 = polar(c, c + 4, r, gap)
    p1 = polar(c, c + 4, r, 360 - gap)
    arc = 'M%s %s A%s %s 0 1 1 %s %s' % (fmt(p0[0]), fmt(p0[1]), fmt(r), fmt(r), fmt(p1[0]), fmt(p1[1]))
    bar = 'M%s %s L%s %s' % (fmt(c), fmt(16), fmt(c), fmt(48))
    colour = ORANGE if on else GREY_TEXT_OFF
    stroke = 'fill="none" stroke="%s" stroke-width="10" stroke-linecap="round"' % colour
    defs = blur("glow", 5)
    b = ""
    if on:
        b += '<g filter="url(#glow)" opacity="0.9"><path d="%s" %s/><path d="%s" %s/></g>\n' % (
            arc, stroke.replace('stroke-width="10"', 'stroke-width="14"'), bar,
            stroke.replace('stroke-width="10"', 'stroke-width="14"'))
    b += '<path d="%s" %s/>\n<path d="%s" %s/>\n' % (arc, stroke, bar, stroke)
    return svg(100, 100, b, defs)


# ------------------------------------------------------------------------------------------------
# Title

def title():
    font = TTFont(TITLE_FONT)
    glyphs = font.getGlyphSet()
    cmap = font.getBestCmap()
    cap = font["OS/2"].sCapHeight
    text = "MORVANTA"
    tracking = 0.16 * cap

    advances = [glyphs[cmap[ord(ch)]].width for ch in text]
    total = sum(advances) + tracking * (len(text) - 1)
    width, height = 1000.0, 213.0
    # The letters fill the width with a small margin; the cap height follows from that.
    scale = (width - 24.0) / total
    cap_px = cap * scale
    baseline = 0.5 * (height + cap_px)
    x = 0.5 * (width - total * scale)

    paths = []
    for ch, adv in zip(text, advances):
        pen = SVGPathPen(glyphs)
        glyphs[cmap[ord(ch)]].draw(TransformPen(pen, (scale, 0, 0, -scale, x, baseline)))
        paths.append(pen.getCommands())
        x += (adv + tracking) * scale

    d = " ".join(paths)
    defs = (vgrad("ink", [(0, "#2d2e2f", 1), (0.5, "#1c1d1d", 1), (1, "#0b0c0c", 1)])
            + blur("soft", 1.6) + blur("shadow", 3))
    b = '<path d="%s" fill="#ffffff" fill-opacity="0.45" transform="translate(0 3)" filter="url(#soft)"/>\n' % d
    b += '<path d="%s" fill="#000000" fill-opacity="0.25" transform="translate(0 -1.5)" filter="url(#shadow)"/>\n' % d
    b += '<path d="%s" fill="url(#ink)"/>\n' % d
    return svg(1000, 213, b, defs)


def main():
    os.makedirs(OUT, exist_ok=True)
    files = {
        "knob.svg": knob_face(),
        "knobHover.svg": knob_hover(),
        "sliderThumb.svg": slider_thumb(),
        "buttonSquare.svg": square_button(False),
        "buttonSquareOn.svg": square_button(True),
        "buttonWide.svg": pill_button(False, False),
        "buttonWideOn.svg": pill_button(True, False),
        "buttonLong.svg": pill_button(False, True),
        "buttonLongOn.svg": pill_button(True, True),
        "power.svg": power_icon(False),
        "powerOn.svg": power_icon(True),
        "title.svg": title(),
    }
    for name, text in files.items():
        with open(os.path.join(OUT, name), "w", encoding="utf-8") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
