#include <gtest/gtest.h>

#include <MorvantaBinaryData.h>
#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
struct ImageResource
{
    const char* name;
    const char* data;
    int size;
    int width, height;
};

const ImageResource images[] = {
    { "knob.png", MorvantaBinary::knob_png, MorvantaBinary::knob_pngSize, 300, 300 },
    { "knobHover.png", MorvantaBinary::knobHover_png, MorvantaBinary::knobHover_pngSize, 300, 300 },
    { "sliderThumb.png", MorvantaBinary::sliderThumb_png, MorvantaBinary::sliderThumb_pngSize, 200, 200 },
    { "buttonWide.png", MorvantaBinary::buttonWide_png, MorvantaBinary::buttonWide_pngSize, 400, 200 },
    { "buttonWideOn.png", MorvantaBinary::buttonWideOn_png, MorvantaBinary::buttonWideOn_pngSize, 400, 200 },
    { "buttonSquare.png", MorvantaBinary::buttonSquare_png, MorvantaBinary::buttonSquare_pngSize, 200, 200 },
    { "buttonSquareOn.png", MorvantaBinary::buttonSquareOn_png, MorvantaBinary::buttonSquareOn_pngSize, 200, 200 },
    { "buttonLong.png", MorvantaBinary::buttonLong_png, MorvantaBinary::buttonLong_pngSize, 400, 200 },
    { "buttonLongOn.png", MorvantaBinary::buttonLongOn_png, MorvantaBinary::buttonLongOn_pngSize, 400, 200 },
    { "power.png", MorvantaBinary::power_png, MorvantaBinary::power_pngSize, 100, 100 },
    { "powerOn.png", MorvantaBinary::powerOn_png, MorvantaBinary::powerOn_pngSize, 100, 100 },
    { "texture.jpg", MorvantaBinary::texture_jpg, MorvantaBinary::texture_jpgSize, 200, 200 },
    { "title.png", MorvantaBinary::title_png, MorvantaBinary::title_pngSize, 1000, 213 },
};

struct ImpulseResource
{
    const char* name;
    const char* data;
    int size;
    int frames;
    int firstUsed;
    int used[7];
};

const ImpulseResource impulses[] = {
    { "consoleU.wav", MorvantaBinary::consoleU_wav, MorvantaBinary::consoleU_wavSize, 4295, 13, { -8257948, -4537786, -548723, 5065799, 3589978, -2466643, -3676168 } },
    { "consoleA.wav", MorvantaBinary::consoleA_wav, MorvantaBinary::consoleA_wavSize, 4824, 10, { 7017034, 5599834, 2255224, -2076503, -2353119, 825275, 2817751 } },
    { "consoleS.wav", MorvantaBinary::consoleS_wav, MorvantaBinary::consoleS_wavSize, 2757, 10, { -6360496, -8387769, -5630635, -1522918, 3359155, 3749211, -1058541 } },
    { "consoleN.wav", MorvantaBinary::consoleN_wav, MorvantaBinary::consoleN_wavSize, 3130, 11, { 4608594, 4208573, 2445947, -472722, -1847544, -185296, 1518711 } },
};

uint32_t readLE (const unsigned char* p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes; --i >= 0;)
        v = (v << 8) | p[i];
    return v;
}

// The frame header of a JPEG: the SOFn marker's n and the component count.
struct JpegFrame
{
    int sofType = -1;
    int components = 0;
};

JpegFrame findJpegFrame (const unsigned char* p, int size)
{
    if (size < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return {};

    for (int i = 2; i + 9 < size;)
    {
        if (p[i] != 0xFF)
            return {};

        const int marker = p[i + 1];
        const int length = (p[i + 2] << 8) | p[i + 3];

        // SOF0..SOF15, except DHT (C4), JPG (C8) and DAC (CC).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return { marker - 0xC0, p[i + 9] };

        i += 2 + length;
    }

    return {};
}
} // namespace

TEST (EmbeddedResources, EveryImageDecodesAtItsSize)
{
    for (const auto& r : images)
    {
        const auto image = juce::ImageCache::getFromMemory (r.data, r.size);
        ASSERT_TRUE (image.isValid()) << r.name;
        EXPECT_EQ (image.getWidth(), r.width) << r.name;
        EXPECT_EQ (image.getHeight(), r.height) << r.name;

        if (juce::String (r.name).endsWith (".png"))
        {
            EXPECT_TRUE (image.hasAlphaChannel()) << r.name << " carries transparency";
        }
    }
}

TEST (EmbeddedResources, ArtworkHasTransparentSurroundsWhereItIsDrawnOverOtherThings)
{
    // Buttons, knobs and the title are drawn over the panel and the window background, so their
    // corners must let those show through.
    for (const auto& r : images)
    {
        if (! juce::String (r.name).endsWith (".png"))
            continue;

        const auto image = juce::ImageCache::getFromMemory (r.data, r.size);
        EXPECT_EQ (image.getPixelAt (0, 0).getAlpha(), 0) << r.name;
        EXPECT_EQ (image.getPixelAt (image.getWidth() - 1, image.getHeight() - 1).getAlpha(), 0) << r.name;
    }
}

TEST (EmbeddedResources, TextureIsABaselineThreeComponentJpeg)
{
    const auto* bytes = reinterpret_cast<const unsigned char*> (MorvantaBinary::texture_jpg);
    const auto frame = findJpegFrame (bytes, MorvantaBinary::texture_jpgSize);

    EXPECT_EQ (frame.sofType, 0) << "SOF0: baseline DCT";
    EXPECT_EQ (frame.components, 3);
    EXPECT_EQ (juce::String (reinterpret_cast<const char*> (bytes) + 6, 4), "JFIF");
}

TEST (EmbeddedResources, ImpulseResponsesHaveTheFixedLayoutAndTheirUsedFramesExactly)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();

    for (const auto& r : impulses)
    {
        SCOPED_TRACE (r.name);
        const auto* p = reinterpret_cast<const unsigned char*> (r.data);

        // The plain 44-byte header: RIFF/WAVE, a 16-byte fmt chunk, then the data chunk.
        ASSERT_EQ (r.size, 44 + 3 * r.frames);
        EXPECT_EQ (juce::String (r.data, 4), "RIFF");
        EXPECT_EQ (readLE (p + 4, 4), (uint32_t) (r.size - 8));
        EXPECT_EQ (juce::String (r.data + 8, 8), "WAVEfmt ");
        EXPECT_EQ (readLE (p + 16, 4), 16u);
        EXPECT_EQ (readLE (p + 20, 2), 1u) << "integer PCM";
        EXPECT_EQ (readLE (p + 22, 2), 1u) << "mono";
        EXPECT_EQ (readLE (p + 24, 4), 88200u);
        EXPECT_EQ (readLE (p + 28, 4), 264600u);
        EXPECT_EQ (readLE (p + 32, 2), 3u);
        EXPECT_EQ (readLE (p + 34, 2), 24u);
        EXPECT_EQ (juce::String (r.data + 36, 4), "data");
        EXPECT_EQ (readLE (p + 40, 4), (uint32_t) (3 * r.frames));

        auto stream = std::make_unique<juce::MemoryInputStream> (r.data, (size_t) r.size, false);
        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (std::move (stream)));
        ASSERT_NE (reader, nullptr);
        EXPECT_EQ (reader->numChannels, 1u);
        EXPECT_EQ (reader->sampleRate, 88200.0);
        EXPECT_EQ (reader->bitsPerSample, 24u);
        EXPECT_FALSE (reader->usesFloatingPointData);
        ASSERT_EQ (reader->lengthInSamples, (juce::int64) r.frames);

        juce::AudioBuffer<float> buffer (1, r.frames);
        ASSERT_TRUE (reader->read (&buffer, 0, r.frames, 0, true, false));

        for (int i = 0; i < 7; ++i)
            EXPECT_EQ (buffer.getSample (0, r.firstUsed + i), (float) r.used[i] / 8388608.0f) << "frame " << r.firstUsed + i;

        // Every frame lies in [-1, 1) and the tail dies away.
        EXPECT_LE (buffer.getMagnitude (0, 0, r.frames), 1.0f);
        EXPECT_LT (buffer.getMagnitude (0, r.frames - 100, 100), 1.0e-3f);
    }
}

TEST (EmbeddedResources, FontIsTrueTypeSpartanMediumAndMakesATypefaceFromMemory)
{
    const auto* p = reinterpret_cast<const unsigned char*> (MorvantaBinary::SpartanMedium_ttf);
    ASSERT_GT (MorvantaBinary::SpartanMedium_ttfSize, 12);
    EXPECT_EQ (readLE (p, 4), 0x00000100u) << "sfnt version 1.0: TrueType outlines";

    // The table directory must name a glyf table and no CFF one.
    const int numTables = (p[4] << 8) | p[5];
    bool glyf = false, cff = false;
    for (int i = 0; i < numTables; ++i)
    {
        const juce::String tag (MorvantaBinary::SpartanMedium_ttf + 12 + 16 * i, 4);
        glyf = glyf || tag == "glyf";
        cff = cff || tag == "CFF ";
    }
    EXPECT_TRUE (glyf);
    EXPECT_FALSE (cff);

    auto typeface = juce::Typeface::createSystemTypefaceFor (MorvantaBinary::SpartanMedium_ttf, (size_t) MorvantaBinary::SpartanMedium_ttfSize);
    ASSERT_NE (typeface, nullptr);
    EXPECT_EQ (typeface->getName(), "Spartan Medium");

    juce::Array<int> glyphs;
    juce::Array<float> offsets;
    typeface->getGlyphPositions ("M", glyphs, offsets);
    ASSERT_EQ (glyphs.size(), 1);

    juce::Path outline;
    EXPECT_TRUE (typeface->getOutlineForGlyph (glyphs[0], outline));
    EXPECT_FALSE (outline.isEmpty());
    EXPECT_GT (typeface->getStringWidth ("MORVANTA"), 0.0f);
}
