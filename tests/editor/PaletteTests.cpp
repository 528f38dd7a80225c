#include <gtest/gtest.h>

#include "editor/Palette.h"

#include <set>

namespace
{
struct Entry
{
    const char* name;
    const juce::Colour& colour;
    juce::uint32 argb;
};

// Every named colour with its ARGB value, in declaration order.
const Entry palette[] = {
    { "blueQuelm", blueQuelm, 0xFF2ACBD6u },
    { "blueTransQuelm", blueTransQuelm, 0xBF2ACAD5u },
    { "blueSpectre", blueSpectre, 0xFCB8E7EDu },
    { "blueSpectreDark", blueSpectreDark, 0x03757694u },
    { "blueCurve", blueCurve, 0x992ACAD5u },
    { "blueCurveDark", blueCurveDark, 0x292A7E89u },
    { "blueLightQuelm", blueLightQuelm, 0xFF20B7C8u },
    { "blueDarkQuelm3", blueDarkQuelm3, 0xFF142C32u },
    { "blueDarkQuelm2", blueDarkQuelm2, 0xFF148596u },
    { "blueDarkQuelm", blueDarkQuelm, 0xFF146D78u },
    { "blueTransChord", blueTransChord, 0xFF054C53u },
    { "blueblueQuelm", blueblueQuelm, 0x212ACAD5u },
    { "orangeQuelm", orangeQuelm, 0xFFECA019u },
    { "orangeLightQuelm", orangeLightQuelm, 0xFFD28218u },
    { "orangeCurve", orangeCurve, 0xB2EDA119u },
    { "orangeCurveLight", orangeCurveLight, 0x66ED9C14u },
    { "orangeorangeQuelm", orangeorangeQuelm, 0x33ED9C14u },
    { "orangeCurveDark", orangeCurveDark, 0x03ED9C14u },
    { "orangeDarkQuelm", orangeDarkQuelm, 0xFF8E5F23u },
    { "orangeTransChord", orangeTransChord, 0xFF5A3C0Au },
    { "redQuelm", redQuelm, 0xFFE25C5Cu },
    { "greenQuelm", greenQuelm, 0xFF63C282u },
    { "pinkQuelm", pinkQuelm, 0xFFFDB8F4u },
    { "greenPadQuelm", greenPadQuelm, 0xFF3ED110u },
    { "whiteQuelm", whiteQuelm, 0xFFFAFBFBu },
    { "whiteLightQuelm", whiteLightQuelm, 0xFFE6E7E7u },
    { "greyWhiteQuelm", greyWhiteQuelm, 0xFFD2D3D3u },
    { "greyTextBoxQuelm", greyTextBoxQuelm, 0xFF969798u },
    { "greyLightQuelm", greyLightQuelm, 0xFF6E6F6Fu },
    { "greyLightQuelmO", greyLightQuelmO, 0xFF877965u },
    { "greyLightQuelmB", greyLightQuelmB, 0xFF657D88u },
    { "greyQuelm", greyQuelm, 0xFF646565u },
    { "greyPlusQuelm", greyPlusQuelm, 0xFF5F6060u },
    { "backgroundQuelmD", backgroundQuelmD, 0xFF565D6Du },
    { "backgroundQuelm", backgroundQuelm, 0xFF6A7181u },
    { "backgroundQuelmI", backgroundQuelmI, 0xFF92999Fu },
    { "backgroundQuelm2", backgroundQuelm2, 0xFFAAACB1u },
    { "backgroundQuelmL", backgroundQuelmL, 0xFF494A4Au },
    { "greyDownQuelm", greyDownQuelm, 0xFF414242u },
    { "greyBlackQuelm", greyBlackQuelm, 0xFF323333u },
    { "blackQuelm", blackQuelm, 0xFF282929u },
    { "blackUltraQuelm", blackUltraQuelm, 0xFF191A1Au },
    { "blackFullQuelm", blackFullQuelm, 0xFF050606u },
    { "greyOpacityQuelm", greyOpacityQuelm, 0xD91A1A1Au },
    { "blackOpacityQuelm", blackOpacityQuelm, 0x99000000u },
    { "OpacityQuelm", OpacityQuelm, 0x66000000u },
    { "maskQuelm", maskQuelm, 0x4C000000u },
    { "transparentQuelm", transparentQuelm, 0x00000000u },
    { "lightQuelm", lightQuelm, 0x1A000000u },
    { "whiteOpacityQuelm", whiteOpacityQuelm, 0xCCE6E6E6u },
    { "whitePadQuelm", whitePadQuelm, 0x99E6E6E6u },
    { "termsQuelm", termsQuelm, 0x4CE6E6E6u },
    { "lightQuelm2", lightQuelm2, 0x33E6E6E6u },
    { "randomTransQuelm", randomTransQuelm, 0x0FE6E6E6u },
    { "whiteOpacity", whiteOpacity, 0xCCFFFFFFu },
    { "backgroundUser", backgroundUser, 0xB21A1C1Fu },
    { "windowUser1", windowUser1, 0xCC1A7D87u },
    { "windowUser2", windowUser2, 0xB81F668Au },
    { "maskTextBox", maskTextBox, 0x66121213u },
};
} // namespace

TEST (Palette, HoldsTheFiftyNineNamedColoursWithTheirExactValues)
{
    EXPECT_EQ (std::size (palette), 59u);

    std::set<std::string> names;
    for (const auto& e : palette)
    {
        EXPECT_EQ (e.colour.getARGB(), e.argb) << e.name;
        names.insert (e.name);
    }

    EXPECT_EQ (names.size(), std::size (palette)) << "every name is listed once";
}

TEST (Palette, TransparentEntryEqualsAnUnsetColour)
{
    // The look-and-feel treats a button colour equal to transparentQuelm as "no background"; a
    // colour that was never set (a default juce::Colour) must compare equal to it.
    EXPECT_EQ (transparentQuelm, juce::Colour());
    EXPECT_TRUE (transparentQuelm.isTransparent());
}
