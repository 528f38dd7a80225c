// Renders every control state that the look-and-feel draws (text buttons of each proportion, the
// power button, knobs, popup menu items, the unused linear slider and combo box) together with the
// title and the panel texture into one PNG, so the artwork and the drawing code can be judged
// together. Hover states use a simulated pointer, so this needs a display: a bare Xvfb will do
// (xvfb-run -a morvanta-look-gallery out.png).
//
// usage: morvanta-look-gallery out.png

#include "editor/Look.h"
#include "editor/Palette.h"
#include "tools/display/WindowManagerAtoms.h"
#include "tools/look/PointerHover.h"

#include <MorvantaBinaryData.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <iostream>
#include <memory>
#include <vector>

namespace
{
constexpr int galleryWidth = 1560;
constexpr int galleryHeight = 1500;

// The window background and knob panel colours, so the artwork is seen on what it will sit on.
const juce::Colour backgroundTop{ 0xFFFEBE3Cu };
const juce::Colour panelTop{ 0xFFA5B4BCu };

class Gallery
{
public:
    Gallery()
    {
        stage.setSize (galleryWidth, galleryHeight);
        stage.addToDesktop (0);
        stage.setVisible (true);

        power = juce::ImageCache::getFromMemory (MorvantaBinary::power_png, MorvantaBinary::power_pngSize);
        powerOn = juce::ImageCache::getFromMemory (MorvantaBinary::powerOn_png, MorvantaBinary::powerOn_pngSize);
        title = juce::ImageCache::getFromMemory (MorvantaBinary::title_png, MorvantaBinary::title_pngSize);
        texture = juce::ImageCache::getFromMemory (MorvantaBinary::texture_jpg, MorvantaBinary::texture_jpgSize);
    }

    ~Gallery()
    {
        PointerHover::away (stage);
        controls.clear();
        stage.removeFromDesktop();
    }

    juce::Image render()
    {
        juce::Image image (juce::Image::ARGB, galleryWidth, galleryHeight, true);
        juce::Graphics g (image);
        g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
        g.fillAll (blackUltraQuelm);

        drawContext (g, { 20, 20, 900, 350 });
        drawStates (g, { 20, 400, galleryWidth - 40, 760 });
        drawMenuAndExtras (g, { 20, 1180, galleryWidth - 40, 300 });
        drawTitleAndTexture (g, { 940, 20, 600, 350 });

        for (auto& c : controls)
        {
            if (c.hovered)
                PointerHover::over (stage, *c.component);
            else
                PointerHover::away (stage);

            juce::Graphics::ScopedSaveState state (g);
            g.setOrigin (c.component->getPosition());
            c.component->paintEntireComponent (g, true);
        }

        PointerHover::away (stage);
        return image;
    }

private:
    struct Control
    {
        std::unique_ptr<juce::Component> component;
        bool hovered = false;
    };

    juce::TextButton& addButton (juce::String text, juce::Rectangle<int> bounds, bool on, bool hovered = false, bool enabled = true)
    {
        auto button = std::make_unique<juce::TextButton> (text);
        button->setBounds (bounds);
        button->setToggleState (on, juce::dontSendNotification);
        button->setEnabled (enabled);
        auto& ref = *button;
        add (std::move (button), hovered);
        return ref;
    }

    // "PRESETS", "<" and ">" carry their own text colours in the editor.
    juce::TextButton& addPresetButton (juce::String text, juce::Rectangle<int> bounds, bool on, bool hovered = false)
    {
        auto& b = addButton (text, bounds, on, hovered);
        b.setColour (juce::TextButton::textColourOffId, blackUltraQuelm);
        b.setColour (juce::TextButton::textColourOnId, greyWhiteQuelm);
        return b;
    }

    void addPower (juce::Rectangle<int> bounds, bool on, bool hovered = false, bool enabled = true)
    {
        auto button = std::make_unique<juce::ImageButton>();
        button->setImages (false, true, true, power, 1.0f, juce::Colour(), juce::Image(), 1.0f, juce::Colour(), powerOn, 1.0f, juce::Colour(), 0.0f);
        button->setBounds (bounds);
        button->setToggleState (on, juce::dontSendNotification);
        button->setEnabled (enabled);
        add (std::move (button), hovered);
    }

    void addKnob (juce::String caption, juce::Rectangle<int> bounds, juce::Point<int> textBox, double proportion, bool hovered = false, bool enabled = true)
    {
        auto slider = std::make_unique<juce::Slider> (juce::Slider::RotaryHorizontalVerticalDrag, juce::Slider::TextBoxBelow);
        slider->setRange (0.0, 50.0, 0.1);
        slider->setTextValueSuffix (" dB");
        slider->setTextBoxStyle (juce::Slider::TextBoxBelow, true, textBox.x, textBox.y);
        slider->setBounds (bounds);
        slider->setValue (50.0 * proportion, juce::dontSendNotification);
        slider->setEnabled (enabled);

        auto label = std::make_unique<juce::Label> (juce::String(), caption);
        label->setJustificationType (juce::Justification::centred);
        label->setFont (juce::Font (look.labelFontHeight, juce::Font::bold));

        auto* owner = slider.get();
        add (std::move (slider), hovered);
        label->attachToComponent (owner, false);
        add (std::move (label), false);
    }

    void add (std::unique_ptr<juce::Component> c, bool hovered)
    {
        stage.addAndMakeVisible (*c);
        controls.push_back ({ std::move (c), hovered });
    }

    static void caption (juce::Graphics& g, const juce::String& text, juce::Rectangle<int> area, juce::Colour colour = greyWhiteQuelm)
    {
        g.setColour (colour);
        g.setFont (juce::Font (13.0f));
        g.drawText (text, area, juce::Justification::centredLeft, true);
    }

    void fillPanel (juce::Graphics& g, juce::Rectangle<int> r) const
    {
        const auto f = r.toFloat();
        g.setGradientFill (juce::ColourGradient (panelTop, f.getX() + 0.3f * f.getWidth(), f.getY() + 0.15f * f.getHeight(), blackUltraQuelm, f.getX() + 0.75f * f.getWidth(), f.getY() + 1.1f * f.getHeight(), true));
        g.fillRoundedRectangle (f, 25.0f);
        g.setTiledImageFill (texture, 0, 0, 0.5f);
        g.fillRoundedRectangle (f.withTrimmedLeft (3.0f).withTrimmedTop (3.0f), 25.0f);
        g.setColour (blackQuelm);
        g.drawRoundedRectangle (f.withTrimmedLeft (3.0f).withTrimmedTop (3.0f), 25.0f, 3.0f);
    }

    void fillBackground (juce::Graphics& g, juce::Rectangle<int> r) const
    {
        const auto f = r.toFloat();
        g.setGradientFill (juce::ColourGradient (backgroundTop, f.getX() + 0.25f * f.getWidth(), f.getY() + 0.06f * f.getHeight(), orangeTransChord, f.getX() + 0.85f * f.getWidth(), f.getY() + 0.99f * f.getHeight(), true));
        g.fillRect (f);
    }

    // The controls in roughly the places the editor gives them at its first size.
    void drawContext (juce::Graphics& g, juce::Rectangle<int> r)
    {
        fillBackground (g, r);
        const auto o = r.getPosition();
        fillPanel (g, juce::Rectangle<int> (25, 43, 849, 265) + o);

        g.drawImage (title, o.x + 36, o.y + 5, 154, 33, 0, 0, title.getWidth(), title.getHeight());

        addPresetButton ("<", juce::Rectangle<int> (300, 6, 34, 33) + o, false);
        addPresetButton ("PRESETS", juce::Rectangle<int> (337, 3, 225, 39) + o, false);
        addPresetButton (">", juce::Rectangle<int> (565, 6, 34, 33) + o, false);
        addPower (juce::Rectangle<int> (828, 6, 33, 33) + o, true);

        const char* modes[] = { "SOFT", "TUBE", "TAPE", "DISTO", "FUZZ" };
        const int modeX[] = { 255, 334, 414, 493, 572 };
        for (int i = 0; i < 5; ++i)
            addButton (modes[i], juce::Rectangle<int> (modeX[i], 52, 72, 36) + o, i == 1);

        look.labelFontHeight = 0.013f * 900.0f;
        addKnob ("CLEAN BASS", juce::Rectangle<int> (52, 81, 89, 89) + o, { 62, 17 }, 0.2);
        addKnob ("DRIVE", juce::Rectangle<int> (151, 114, 179, 179) + o, { 76, 35 }, 0.45);
        addKnob ("GRAIN", juce::Rectangle<int> (569, 114, 179, 179) + o, { 76, 35 }, 0.7);
        addKnob ("OUTPUT", juce::Rectangle<int> (758, 81, 89, 89) + o, { 62, 17 }, 0.5);
        addKnob ("BRIGHTNESS", juce::Rectangle<int> (52, 210, 89, 89) + o, { 62, 17 }, 0.5);
        addKnob ("MIX", juce::Rectangle<int> (758, 210, 89, 89) + o, { 62, 17 }, 1.0);

        // The scope's surround, as the editor paints it, with an empty dark disc for the display.
        const auto scope = juce::Rectangle<float> (360, 99, 179, 179) + o.toFloat();
        g.setColour (blackUltraQuelm);
        g.drawEllipse (scope.translated (-2.0f, -2.0f), 5.0f);
        g.setColour (blackQuelm);
        g.drawEllipse (scope.translated (1.0f, 2.0f), 5.0f);
        g.setColour (blackFullQuelm);
        g.fillEllipse (scope);

        const char* consoles[] = { "-", "U", "A", "S", "N" };
        const int consoleX[] = { 334, 384, 433, 483, 532 };
        for (int i = 0; i < 5; ++i)
            addButton (consoles[i], juce::Rectangle<int> (consoleX[i], 314, 33, 33) + o, i == 2);

        g.setColour (greyBlackQuelm);
        for (int i = 0; i < 4; ++i)
            g.drawLine ((float) (o.x + consoleX[i] + 33), (float) (o.y + 330), (float) (o.x + consoleX[i + 1]), (float) (o.y + 330), 2.0f);

        g.setColour (blackQuelm);
        g.setFont (juce::Font (13.5f, juce::Font::bold));
        g.drawText ("CONSOLE", juce::Rectangle<int> (582, 314, 99, 33) + o, juce::Justification::centredLeft, false);
    }

    void drawStates (juce::Graphics& g, juce::Rectangle<int> r)
    {
        fillPanel (g, r);
        auto x0 = r.getX() + 160;
        auto y = r.getY() + 30;
        const int pitch = 120;
        const char* columns[] = { "off", "on", "hover off", "hover on", "disabled off", "disabled on" };

        for (int i = 0; i < 6; ++i)
            caption (g, columns[i], { x0 + i * pitch, y - 24, pitch, 18 });
        caption (g, "double size (1800 wide)", { x0 + 6 * pitch + 20, y - 24, 300, 18 });

        auto row = [&] (const juce::String& name, int height)
        {
            caption (g, name, { r.getX() + 20, y, 140, height });
        };

        // Two-to-one text buttons.
        row ("drive mode 72 x 36", 36);
        for (int i = 0; i < 6; ++i)
            addButton ("TUBE", { x0 + i * pitch, y, 72, 36 }, i % 2 == 1, i == 2 || i == 3, i < 4);
        addButton ("SOFT", { x0 + 6 * pitch + 20, y - 18, 144, 72 }, false);
        addButton ("TAPE", { x0 + 6 * pitch + 180, y - 18, 144, 72 }, true);
        y += 80;

        row ("console 33 x 33", 33);
        for (int i = 0; i < 6; ++i)
            addButton ("U", { x0 + i * pitch, y, 33, 33 }, i % 2 == 1, i == 2 || i == 3, i < 4);
        addButton ("-", { x0 + 6 * pitch + 20, y - 16, 66, 66 }, false);
        addButton ("S", { x0 + 6 * pitch + 100, y - 16, 66, 66 }, true);
        y += 80;

        row ("power 33 x 33", 33);
        for (int i = 0; i < 6; ++i)
            addPower ({ x0 + i * pitch, y, 33, 33 }, i % 2 == 1, i == 2 || i == 3, i < 4);
        addPower ({ x0 + 6 * pitch + 20, y - 16, 66, 66 }, false);
        addPower ({ x0 + 6 * pitch + 100, y - 16, 66, 66 }, true);
        y += 80;

        row ("presets 225 x 39", 39);
        addPresetButton ("PRESETS", { x0, y, 225, 39 }, false);
        addPresetButton ("PRESETS", { x0 + 240, y, 225, 39 }, true);
        addPresetButton ("PRESETS", { x0 + 480, y, 225, 39 }, false, true);
        addPresetButton ("PRESETS", { x0 + 6 * pitch + 20, y - 20, 450, 78 }, false);
        y += 80;

        row ("arrows 34 x 33", 33);
        addPresetButton ("<", { x0, y, 34, 33 }, false);
        addPresetButton (">", { x0 + pitch, y, 34, 33 }, false, true);
        addPresetButton ("<", { x0 + 2 * pitch, y, 68, 66 }, false);
        addButton ("wider", { x0 + 3 * pitch, y, 60, 33 }, false);
        addButton ("wider", { x0 + 4 * pitch, y, 60, 33 }, true);
        addButton ("narrow", { x0 + 5 * pitch, y, 24, 33 }, false, true);
        addPresetButton ("PRESETS", { x0 + 6 * pitch + 20, y, 112, 33 }, true);
        y += 90;

        row ("knobs 89", 89);
        const double positions[] = { 0.0, 0.5, 1.0 };
        for (int i = 0; i < 3; ++i)
            addKnob ("MIN MID MAX", { x0 + i * pitch, y, 89, 89 }, { 62, 17 }, positions[i]);
        addKnob ("HOVER", { x0 + 3 * pitch, y, 89, 89 }, { 62, 17 }, 0.5, true);
        addKnob ("DISABLED", { x0 + 4 * pitch, y, 89, 89 }, { 62, 17 }, 0.3, false, false);
        addKnob ("DISABLED HOVER", { x0 + 5 * pitch, y, 89, 89 }, { 62, 17 }, 0.3, true, false);
        y += 120;

        row ("knobs 179", 179);
        addKnob ("MIN", { x0, y, 179, 179 }, { 76, 35 }, 0.0);
        addKnob ("MID HOVER", { x0 + 200, y, 179, 179 }, { 76, 35 }, 0.5, true);
        addKnob ("MAX", { x0 + 400, y, 179, 179 }, { 76, 35 }, 1.0);
        addKnob ("MAX HOVER", { x0 + 600, y, 179, 179 }, { 76, 35 }, 1.0, true);
    }

    void drawMenuAndExtras (juce::Graphics& g, juce::Rectangle<int> r)
    {
        fillPanel (g, r);
        const int itemH = 24;
        const juce::Rectangle<int> menu (r.getX() + 40, r.getY() + 20, 240, 8 * itemH);

        {
            juce::Graphics::ScopedSaveState state (g);
            g.setOrigin (menu.getPosition());
            look.drawPopupMenuBackground (g, menu.getWidth(), menu.getHeight());

            struct Item
            {
                const char* text;
                bool separator, active, highlighted, submenu, header;
            };
            const Item items[] = {
                { "Factory", false, true, false, false, true },
                { "Mastering", false, true, false, true, false },
                { "Vocal", false, true, true, true, false },
                { "Drum", false, false, false, true, false },
                { "", true, true, false, false, false },
                { "Warm Glue", false, true, false, false, false },
                { "Bright Edge", false, true, true, false, false },
                { "Disabled Item", false, false, false, false, false },
            };

            for (int i = 0; i < 8; ++i)
            {
                juce::Graphics::ScopedSaveState itemState (g);
                const juce::Rectangle<int> area (0, i * itemH, menu.getWidth(), itemH);
                g.setOrigin (area.getPosition());
                const auto& it = items[i];

                if (it.header)
                    look.drawPopupMenuSectionHeader (g, area.withZeroOrigin(), it.text);
                else
                    look.drawPopupMenuItem (g, area.withZeroOrigin(), it.separator, it.active, it.highlighted, false, it.submenu, it.text, {}, nullptr, nullptr);
            }
        }

        caption (g, "popup menu: header, items, highlighted, disabled, separator", { menu.getX(), menu.getBottom() + 10, 420, 18 });

        auto slider = std::make_unique<juce::Slider> (juce::Slider::LinearVertical, juce::Slider::NoTextBox);
        slider->setRange (0.0, 1.0);
        slider->setValue (0.6, juce::dontSendNotification);
        slider->setBounds (r.getX() + 340, r.getY() + 20, 40, 200);
        add (std::move (slider), false);

        auto hoveredSlider = std::make_unique<juce::Slider> (juce::Slider::LinearVertical, juce::Slider::NoTextBox);
        hoveredSlider->setRange (0.0, 1.0);
        hoveredSlider->setValue (0.3, juce::dontSendNotification);
        hoveredSlider->setBounds (r.getX() + 400, r.getY() + 20, 40, 200);
        add (std::move (hoveredSlider), true);

        auto combo = std::make_unique<juce::ComboBox>();
        combo->addItem ("Combo box", 1);
        combo->setSelectedId (1, juce::dontSendNotification);
        combo->setBounds (r.getX() + 480, r.getY() + 20, 180, 30);
        add (std::move (combo), false);

        caption (g, "linear slider, hovered; combo box (not used by the editor)", { r.getX() + 340, r.getY() + 240, 420, 18 });
    }

    void drawTitleAndTexture (juce::Graphics& g, juce::Rectangle<int> r)
    {
        const juce::Rectangle<int> titleArea (r.getX(), r.getY(), r.getWidth(), 140);
        fillBackground (g, titleArea);
        g.drawImage (title, titleArea.getX() + 10, titleArea.getY() + 10, 563, 120, 0, 0, title.getWidth(), title.getHeight());
        caption (g, "title at 563 x 120 on the window background", { r.getX(), titleArea.getBottom() + 4, 400, 18 });

        const auto tile = juce::Rectangle<int> (r.getX(), r.getY() + 170, 200, 200);
        g.drawImageAt (texture, tile.getX(), tile.getY());
        caption (g, "texture, one tile", { tile.getX(), tile.getBottom() - 20, 200, 18 }, whiteQuelm);

        fillPanel (g, { tile.getRight() + 20, tile.getY(), r.getRight() - tile.getRight() - 20, 170 });
        caption (g, "panel: gradient + tiled texture at 0.5", { tile.getRight() + 40, tile.getY() + 140, 360, 18 }, whiteQuelm);
    }

    Look look;
    juce::Component stage;
    std::vector<Control> controls;
    juce::Image power, powerOn, title, texture;
};
} // namespace

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: morvanta-look-gallery out.png\n";
        return 2;
    }

    const WindowManagerAtoms windowManagerAtoms;
    juce::ScopedJuceInitialiser_GUI juce;
    const juce::File out (juce::File::getCurrentWorkingDirectory().getChildFile (juce::String::fromUTF8 (argv[1])));

    juce::Image image;
    {
        Gallery gallery;
        image = gallery.render();
    }

    out.deleteFile();
    juce::FileOutputStream stream (out);
    juce::PNGImageFormat png;

    if (! stream.openedOk() || ! png.writeImageToStream (image, stream))
    {
        std::cerr << "could not write " << out.getFullPathName() << "\n";
        return 1;
    }

    std::cout << "wrote " << out.getFullPathName() << "\n";
    return 0;
}
