#pragma once

#include "editor/LookGeometry.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** The editor's look-and-feel: palette colours, the embedded "Spartan Medium" typeface and the
    image-based buttons and knobs. Constructing it makes it the framework's default look-and-feel
    (so popup menus and other components without a look of their own draw with it); a later Look
    takes that over, and once the default Look is destroyed the framework falls back to its own.
    Message thread only.
*/
class Look : public juce::LookAndFeel_V4
{
public:
    Look();
    ~Look() override;

    void drawButtonBackground (juce::Graphics&,
        juce::Button&,
        const juce::Colour& backgroundColour,
        bool shouldDrawButtonAsHighlighted,
        bool shouldDrawButtonAsDown) override;

    void drawButtonText (juce::Graphics&, juce::TextButton&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;

    void drawPopupMenuItem (juce::Graphics&,
        const juce::Rectangle<int>& area,
        bool isSeparator,
        bool isActive,
        bool isHighlighted,
        bool isTicked,
        bool hasSubMenu,
        const juce::String& text,
        const juce::String& shortcutKeyText,
        const juce::Drawable* icon,
        const juce::Colour* textColour) override;

    void drawPopupMenuSectionHeader (juce::Graphics&, const juce::Rectangle<int>& area, const juce::String& sectionName) override;

    void drawComboBox (juce::Graphics&,
        int width,
        int height,
        bool isButtonDown,
        int buttonX,
        int buttonY,
        int buttonW,
        int buttonH,
        juce::ComboBox&) override;

    juce::Font getLabelFont (juce::Label&) override;

    void drawLinearSlider (juce::Graphics&,
        int x,
        int y,
        int width,
        int height,
        float sliderPos,
        float minSliderPos,
        float maxSliderPos,
        juce::Slider::SliderStyle,
        juce::Slider&) override;

    void drawRotarySlider (juce::Graphics&,
        int x,
        int y,
        int width,
        int height,
        float sliderPosProportional,
        float rotaryStartAngle,
        float rotaryEndAngle,
        juce::Slider&) override;

    juce::Label* createSliderTextBox (juce::Slider&) override;

    void drawImageButton (juce::Graphics&,
        juce::Image*,
        int imageX,
        int imageY,
        int imageW,
        int imageH,
        const juce::Colour& overlayColour,
        float imageOpacity,
        juce::ImageButton&) override;

    /** Height in pixels of every label's font; the editor's layout sets it from the window width. */
    float labelFontHeight = 16.0f;

private:
    const juce::Image* backgroundImage (LookGeometry::ButtonShape, bool on) const;
    void drawBackground (juce::Graphics&, juce::Button&, LookGeometry::ButtonShape);
    void drawHoverHighlight (juce::Graphics&, juce::Button&);

    juce::Image sliderThumb;
    juce::Image knobFace;
    juce::Image knobHover;
    juce::Image wideOff;
    juce::Image wideOn;
    juce::Image squareOff;
    juce::Image squareOn;
    juce::Image longOff;
    juce::Image longOn;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Look)
};
