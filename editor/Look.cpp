#include "editor/Look.h"

#include <MorvantaBinaryData.h>

#include "editor/EmbeddedTypeface.h"
#include "editor/Palette.h"

namespace
{
// The embedded font. On Linux the framework draws it from FreeType's outlines; on Windows its own
// typeface for a font in memory goes through GDI, which sizes the font by other metrics and
// shapes it differently (text came out about 0.62 as high), so there the same outlines are read
// from the font by EmbeddedTypeface, which draws the same pixels as Linux (see its header).
juce::Typeface::Ptr embeddedFont()
{
#ifdef _WIN32
    return new EmbeddedTypeface (MorvantaBinary::SpartanMedium_ttf, (size_t) MorvantaBinary::SpartanMedium_ttfSize);
#else
    return juce::Typeface::createSystemTypefaceFor (MorvantaBinary::SpartanMedium_ttf, (size_t) MorvantaBinary::SpartanMedium_ttfSize);
#endif
}

// A button whose button colour is the transparent palette entry is drawn without a background.
bool hasNoBackground (juce::Button& button)
{
    return button.findColour (juce::TextButton::buttonColourId) == transparentQuelm;
}
} // namespace

Look::Look()
{
    // FreeType accepts any bytes and yields a nameless typeface when they are not a font (so does
    // EmbeddedTypeface); keep the framework's own sans-serif then rather than a typeface without
    // glyphs.
    auto typeface = embeddedFont();
    if (typeface != nullptr && typeface->getName().isNotEmpty())
        setDefaultSansSerifTypeface (typeface);

    juce::LookAndFeel::setDefaultLookAndFeel (this);

    setColour (juce::Label::textColourId, greyWhiteQuelm);
    setColour (juce::PopupMenu::textColourId, greyWhiteQuelm);
    setColour (juce::PopupMenu::backgroundColourId, greyOpacityQuelm);
    setColour (juce::PopupMenu::headerTextColourId, orangeQuelm);
    setColour (juce::PopupMenu::highlightedTextColourId, whiteQuelm);
    setColour (juce::PopupMenu::highlightedBackgroundColourId, orangeDarkQuelm);
    setColour (juce::ProgressBar::backgroundColourId, orangeQuelm);
    setColour (juce::ProgressBar::foregroundColourId, whiteQuelm);
    setColour (juce::AlertWindow::textColourId, whiteQuelm);
    setColour (juce::AlertWindow::backgroundColourId, greyDownQuelm);
    setColour (juce::AlertWindow::outlineColourId, whiteQuelm);
    setColour (juce::TextButton::buttonColourId, whiteQuelm);
    setColour (juce::TextButton::buttonOnColourId, orangeDarkQuelm);
    setColour (juce::TextButton::textColourOffId, backgroundQuelm2);
    setColour (juce::TextButton::textColourOnId, orangeQuelm);
    setColour (juce::ComboBox::outlineColourId, whiteLightQuelm);
    setColour (juce::ScrollBar::thumbColourId, whiteQuelm);
    setColour (juce::ScrollBar::backgroundColourId, orangeQuelm);
    setColour (juce::ScrollBar::trackColourId, orangeQuelm);
    setColour (juce::TextEditor::backgroundColourId, greyBlackQuelm);
    setColour (juce::TextEditor::highlightColourId, orangeQuelm);
    setColour (juce::TextEditor::focusedOutlineColourId, orangeTransChord);
    setColour (juce::TextEditor::outlineColourId, greyWhiteQuelm);
    setColour (juce::TextEditor::textColourId, whiteQuelm);
    setColour (juce::TextEditor::shadowColourId, blackQuelm);
    setColour (juce::ListBox::outlineColourId, whiteQuelm);
    setColour (juce::ListBox::backgroundColourId, blackQuelm);
    setColour (juce::TableHeaderComponent::backgroundColourId, blackQuelm);
    setColour (juce::TableHeaderComponent::textColourId, whiteQuelm);
    setColour (juce::TableHeaderComponent::outlineColourId, blackQuelm);
    setColour (juce::TableHeaderComponent::highlightColourId, blackQuelm);
    setColour (juce::FileChooserDialogBox::titleTextColourId, whiteQuelm);
    setColour (juce::TooltipWindow::backgroundColourId, blackQuelm);
    setColour (juce::FileBrowserComponent::currentPathBoxTextColourId, whiteQuelm);
    setColour (juce::FileBrowserComponent::currentPathBoxArrowColourId, whiteQuelm);
    setColour (juce::FileBrowserComponent::filenameBoxBackgroundColourId, blackQuelm);
    setColour (juce::FileBrowserComponent::filenameBoxTextColourId, whiteQuelm);
    setColour (juce::Slider::textBoxOutlineColourId, juce::Colour (0x00000000u));

    knobFace = juce::ImageCache::getFromMemory (MorvantaBinary::knob_png, MorvantaBinary::knob_pngSize);
    knobHover = juce::ImageCache::getFromMemory (MorvantaBinary::knobHover_png, MorvantaBinary::knobHover_pngSize);
    sliderThumb = juce::ImageCache::getFromMemory (MorvantaBinary::sliderThumb_png, MorvantaBinary::sliderThumb_pngSize);
    wideOff = juce::ImageCache::getFromMemory (MorvantaBinary::buttonWide_png, MorvantaBinary::buttonWide_pngSize);
    wideOn = juce::ImageCache::getFromMemory (MorvantaBinary::buttonWideOn_png, MorvantaBinary::buttonWideOn_pngSize);
    squareOff = juce::ImageCache::getFromMemory (MorvantaBinary::buttonSquare_png, MorvantaBinary::buttonSquare_pngSize);
    squareOn = juce::ImageCache::getFromMemory (MorvantaBinary::buttonSquareOn_png, MorvantaBinary::buttonSquareOn_pngSize);
    longOff = juce::ImageCache::getFromMemory (MorvantaBinary::buttonLong_png, MorvantaBinary::buttonLong_pngSize);
    longOn = juce::ImageCache::getFromMemory (MorvantaBinary::buttonLongOn_png, MorvantaBinary::buttonLongOn_pngSize);
}

// The framework keeps its default look-and-feel through a weak reference, which empties when this
// look goes, so there is nothing to undo here: it then falls back to its own default.
Look::~Look() = default;

void Look::drawHoverHighlight (juce::Graphics& g, juce::Button& button)
{
    if (! button.isEnabled() || ! button.isMouseOverOrDragging())
        return;

    const auto highlight = LookGeometry::hoverHighlight (button.getWidth(), button.getHeight());
    g.setColour (lightQuelm2);
    g.fillRoundedRectangle (highlight.area, highlight.cornerSize);
}

const juce::Image* Look::backgroundImage (LookGeometry::ButtonShape shape, bool on) const
{
    switch (shape)
    {
        case LookGeometry::ButtonShape::square:
            return on ? &squareOn : &squareOff;
        case LookGeometry::ButtonShape::wide:
            return on ? &wideOn : &wideOff;
        case LookGeometry::ButtonShape::longPieces:
        case LookGeometry::ButtonShape::longHalfEnds:
            return on ? &longOn : &longOff;
        case LookGeometry::ButtonShape::none:
            break;
    }

    return nullptr;
}

void Look::drawBackground (juce::Graphics& g, juce::Button& button, LookGeometry::ButtonShape shape)
{
    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);

    const auto* image = backgroundImage (shape, button.getToggleState());

    if (image == nullptr)
        return;

    const auto pieces = LookGeometry::backgroundPieces (shape, button.getWidth(), button.getHeight(), image->getWidth(), image->getHeight());

    for (int i = 0; i < pieces.count; ++i)
    {
        const auto& d = pieces.pieces[(size_t) i].destination;
        const auto& s = pieces.pieces[(size_t) i].source;
        g.drawImage (*image, d.getX(), d.getY(), d.getWidth(), d.getHeight(), s.getX(), s.getY(), s.getWidth(), s.getHeight());
    }
}

void Look::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour&, bool, bool)
{
    if (hasNoBackground (button))
        return;

    drawBackground (g, button, LookGeometry::textButtonShape (button.getWidth(), button.getHeight()));
    drawHoverHighlight (g, button);
}

void Look::drawButtonText (juce::Graphics& g, juce::TextButton& button, bool, bool)
{
    const auto w = button.getWidth();
    const auto h = button.getHeight();

    g.setFont (juce::Font (LookGeometry::buttonFontHeight (h)));

    const auto colourId = button.getToggleState() ? juce::TextButton::textColourOnId : juce::TextButton::textColourOffId;
    g.setColour (button.findColour (colourId).withMultipliedAlpha (button.isEnabled() ? 1.0f : 0.5f));

    const auto area = LookGeometry::buttonTextArea (w, h, button.isConnectedOnLeft(), button.isConnectedOnRight());

    if (! area.isEmpty())
        g.drawFittedText (button.getButtonText(), area, juce::Justification::centred, 2, 0.5f);
}

void Look::drawImageButton (juce::Graphics& g,
    juce::Image* image,
    int imageX,
    int imageY,
    int imageW,
    int imageH,
    const juce::Colour& overlayColour,
    float imageOpacity,
    juce::ImageButton& button)
{
    if (hasNoBackground (button))
        return;

    // Image buttons never use the long background.
    const auto w = button.getWidth();
    const auto h = button.getHeight();
    drawBackground (g, button, w == h ? LookGeometry::ButtonShape::square : LookGeometry::ButtonShape::wide);

    if (image != nullptr)
    {
        const auto t = LookGeometry::imageButtonTransform (image->getBounds().toFloat(), { imageX, imageY, imageW, imageH }, w, h);

        if (! overlayColour.isOpaque())
        {
            g.setOpacity (button.isEnabled() ? imageOpacity : imageOpacity * 0.3f);
            g.drawImageTransformed (*image, t, false);
        }

        if (! overlayColour.isTransparent())
        {
            g.setColour (overlayColour);
            g.drawImageTransformed (*image, t, true);
        }
    }

    drawHoverHighlight (g, button);
}

void Look::drawRotarySlider (juce::Graphics& g,
    int x,
    int y,
    int width,
    int height,
    float sliderPosProportional,
    float rotaryStartAngle,
    float rotaryEndAngle,
    juce::Slider& slider)
{
    const auto face = LookGeometry::rotaryFaceBounds (width);
    g.drawImage (knobFace, face.getX(), face.getY(), face.getWidth(), face.getHeight(), 0, 0, knobFace.getWidth(), knobFace.getHeight());

    const auto angle = LookGeometry::rotaryPointerAngle (sliderPosProportional, rotaryStartAngle, rotaryEndAngle);
    const auto pointer = LookGeometry::rotaryPointer (x, y, width, height, angle);

    const auto active = slider.isMouseOverOrDragging() && slider.isEnabled();

    g.setColour (active ? orangeQuelm : greyWhiteQuelm);
    g.fillPath (pointer);

    if (active)
        g.drawImage (knobHover, face.getX(), face.getY(), face.getWidth(), face.getHeight(), 0, 0, knobHover.getWidth(), knobHover.getHeight());

    // Changing this colour makes the slider rebuild its value box, which picks the colour up.
    slider.setColour (juce::Slider::textBoxTextColourId, active ? orangeLightQuelm : greyTextBoxQuelm);

    const auto frame = LookGeometry::rotaryValueFrame (x, width, height, slider.getTextBoxWidth(), slider.getTextBoxHeight());
    g.setColour (active ? orangeorangeQuelm : maskQuelm);
    g.drawRoundedRectangle (frame.outline, frame.cornerSize, 2.0f);
    g.setColour (maskTextBox);
    g.fillRoundedRectangle (frame.fill, frame.cornerSize);
}

juce::Label* Look::createSliderTextBox (juce::Slider& slider)
{
    auto* label = juce::LookAndFeel_V2::createSliderTextBox (slider);
    label->setColour (juce::Label::textColourId, slider.isMouseOverOrDragging() ? orangeLightQuelm : greyTextBoxQuelm);
    label->setFont (juce::Font (label->getFont().getHeight() - 2.0f));
    return label;
}

juce::Font Look::getLabelFont (juce::Label& label)
{
    label.setFont (juce::Font (labelFontHeight));
    return label.getFont();
}

void Look::drawLinearSlider (juce::Graphics& g,
    int x,
    int,
    int width,
    int height,
    float sliderPos,
    float minSliderPos,
    float maxSliderPos,
    juce::Slider::SliderStyle,
    juce::Slider& slider)
{
    const auto trackWidth = (int) (0.4 * width);
    const auto trackX = (float) (x + 0.5 * width - 0.5 * trackWidth);
    const auto corner = (float) (trackWidth / 2);
    const juce::Rectangle<float> track (trackX, 4.0f, (float) trackWidth, (float) (height - 4));

    g.setColour (blackQuelm);
    g.drawRoundedRectangle (track, corner, 2.0f);
    g.setGradientFill (juce::ColourGradient (greyQuelm, (float) (0.5 * width), 0.0f, greyPlusQuelm, (float) (0.5 * width), (float) height, false));
    g.fillRoundedRectangle (track, corner);

    if (! slider.isEnabled())
        return;

    const auto hovered = slider.isMouseOverOrDragging();
    const auto t = 0.85 * sliderPos + 0.3 * (maxSliderPos - minSliderPos);

    g.setGradientFill (juce::ColourGradient (hovered ? blueQuelm : orangeQuelm,
        (float) (0.5 * width),
        (float) (0.3 * height),
        hovered ? blueDarkQuelm : orangeDarkQuelm,
        (float) (0.5 * width),
        (float) height,
        false));
    g.fillRoundedRectangle (trackX, (float) (4 + t), (float) trackWidth, (float) (height - t - 4), corner);

    g.drawImage (sliderThumb, 0, (int) (-0.2 * width + t), width, width, 0, 0, sliderThumb.getWidth(), sliderThumb.getHeight());

    if (hovered)
    {
        g.setColour (orangeQuelm);
        g.drawEllipse ((float) (0.25 * width), (float) (t + 0.05 * width), (float) (0.5 * width), (float) (0.5 * width), 3.0f);
    }
}

void Look::drawComboBox (juce::Graphics& g, int width, int height, bool, int buttonX, int buttonY, int buttonW, int buttonH, juce::ComboBox&)
{
    const juce::Rectangle<float> box (2.0f, 2.0f, (float) (width - 4), (float) (height - 4));
    const auto corner = (float) (0.4 * height);

    g.setGradientFill (juce::ColourGradient (backgroundQuelmL, (float) (0.48 * width), 0.0f, greyBlackQuelm, (float) (0.51 * width), (float) height, false));
    g.fillRoundedRectangle (box, corner);
    g.setColour (blackQuelm);
    g.drawRoundedRectangle (box, corner, 2.0f);

    g.setColour (whiteQuelm);
    g.setFont (juce::Font ((float) buttonW));
    g.drawText (":", buttonX, buttonY, buttonW, buttonH, juce::Justification::left, true);
}

void Look::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    g.setColour (findColour (juce::PopupMenu::backgroundColourId));
    g.fillRoundedRectangle (0.0f, 0.0f, (float) width, (float) height, 6.0f);
}

void Look::drawPopupMenuItem (juce::Graphics& g,
    const juce::Rectangle<int>& area,
    bool isSeparator,
    bool isActive,
    bool isHighlighted,
    bool,
    bool hasSubMenu,
    const juce::String& text,
    const juce::String& shortcutKeyText,
    const juce::Drawable*,
    const juce::Colour* textColour)
{
    const auto width = area.getWidth();
    const auto height = area.getHeight();

    if (isSeparator)
    {
        g.setColour (whitePadQuelm);
        g.drawLine (0.0f, (float) height, (float) width, (float) height);
        return;
    }

    g.setColour (termsQuelm);
    g.drawLine ((float) (0.4 * width), 0.0f, (float) (0.6 * width), 0.0f);

    auto colour = textColour != nullptr ? *textColour : findColour (juce::PopupMenu::textColourId);
    auto r = area;

    if (isHighlighted)
    {
        g.setColour (findColour (juce::PopupMenu::highlightedBackgroundColourId));
        g.fillRect (r);
        colour = findColour (juce::PopupMenu::highlightedTextColourId);
    }

    g.setColour (colour);

    if (! isActive)
        g.setOpacity (0.3f);

    auto font = getPopupMenuFont();
    font.setHeight (0.64f * (float) height);
    font.setBold (false);
    g.setFont (font);

    if (hasSubMenu)
        g.fillPath (LookGeometry::submenuArrow (r, getPopupMenuFont().getAscent() * 0.6f));

    g.drawFittedText (text, r, juce::Justification::centred, 1);

    if (shortcutKeyText.isNotEmpty())
    {
        auto shortcutFont = font;
        shortcutFont.setHeight (shortcutFont.getHeight() * 0.75f);
        shortcutFont.setHorizontalScale (0.95f);
        g.setFont (shortcutFont);
        g.drawText (shortcutKeyText, r, juce::Justification::centred, true);
    }
}

void Look::drawPopupMenuSectionHeader (juce::Graphics& g, const juce::Rectangle<int>& area, const juce::String& sectionName)
{
    g.setFont (getPopupMenuFont().boldened());
    g.setColour (findColour (juce::PopupMenu::headerTextColourId));
    g.drawFittedText (sectionName, area, juce::Justification::centred, 1);
}
