#!/usr/bin/env bash
# Regenerates every file in resources/ from its sources. Only needed when the artwork, the font or
# the impulse responses change: the generated files are committed and the build just embeds them.
#
#   images     tools/resources/make_artwork.py writes the SVG sources to resources/src/;
#              rsvg-convert renders each at its size to resources/<name>.png
#   texture    tools/resources/make_texture.py writes a seamless 200 x 200 PPM; cjpeg encodes it
#              as a baseline 3-component JFIF resources/texture.jpg
#   font       tools/resources/make_font.py converts Debian's League Spartan Medium (CFF) to
#              TrueType outlines and renames it "Spartan Medium" (resources/SpartanMedium.ttf)
#   responses  tools/resources/make_impulses.py writes resources/console{U,A,S,N}.wav
#
# Debian packages: librsvg2-bin, libjpeg-turbo-progs, python3-fonttools, fonts-league-spartan.
set -euo pipefail
cd "$(dirname "$0")/../.."

PY=/usr/bin/python3 # Debian's interpreter, which has python3-fonttools
export PYTHONDONTWRITEBYTECODE=1
RES=resources

packages=(librsvg2-bin libjpeg-turbo-progs python3-fonttools fonts-league-spartan)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Missing Debian packages: ${missing[*]} (apt-get install ${missing[*]})" >&2
    exit 1
fi

"$PY" tools/resources/make_artwork.py

render()
{
    local name=$1 width=$2 height=$3
    rsvg-convert --width "$width" --height "$height" "$RES/src/$name.svg" -o "$RES/$name.png"
}

render knob 300 300
render knobHover 300 300
render sliderThumb 200 200
render buttonWide 400 200
render buttonWideOn 400 200
render buttonSquare 200 200
render buttonSquareOn 200 200
render buttonLong 400 200
render buttonLongOn 400 200
render power 100 100
render powerOn 100 100
render title 1000 213

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$PY" tools/resources/make_texture.py "$tmp/texture.ppm"
cjpeg -quality 92 -optimize -outfile "$RES/texture.jpg" "$tmp/texture.ppm"

"$PY" tools/resources/make_font.py "$RES/SpartanMedium.ttf"
"$PY" tools/resources/make_impulses.py "$RES"

echo "Regenerated the files in $RES/"
