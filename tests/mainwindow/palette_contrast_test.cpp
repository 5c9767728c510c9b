#include "form1_fixture.h"

#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QRadioButton>

#include <cmath>
#include <vector>

namespace {

// WCAG 2 relative luminance and contrast ratio, from 1 (none) to 21 (black on white).
double relativeLuminance(const QColor& colour)
{
    auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF())
           + 0.0722 * channel(colour.blueF());
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// What stands behind a widget: its own background where it fills it, else that of the
// nearest ancestor that does (the window itself at the latest).
QColor backgroundBehind(const QWidget* widget, QPalette::ColorRole role)
{
    const QWidget* painter = widget;
    while (!painter->autoFillBackground() && !painter->isWindow())
        painter = painter->parentWidget();
    return painter == widget ? widget->palette().color(role)
                             : painter->palette().color(painter->backgroundRole());
}

struct Text {
    QString widget;
    QColor colour;
    QColor background;
};

// Every text a window shows, with the colours the style draws it in: boxes in the text
// colour on the base colour, push buttons in the button text colour on the button colour,
// and labels, frame titles, option buttons, the menu bar and its menus in the window text
// colour on what stands behind them.
std::vector<Text> textsOf(const QWidget* window)
{
    std::vector<Text> texts;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        const QPalette& p = w->palette();
        if (qobject_cast<const QLineEdit*>(w) != nullptr) {
            texts.push_back({w->objectName(), p.color(QPalette::Text), p.color(QPalette::Base)});
        } else if (qobject_cast<const QPushButton*>(w) != nullptr) {
            texts.push_back(
                {w->objectName(), p.color(QPalette::ButtonText), p.color(QPalette::Button)});
        } else if (qobject_cast<const QLabel*>(w) != nullptr
                   || qobject_cast<const QGroupBox*>(w) != nullptr
                   || qobject_cast<const QRadioButton*>(w) != nullptr
                   || qobject_cast<const QMenuBar*>(w) != nullptr
                   || qobject_cast<const QMenu*>(w) != nullptr) {
            texts.push_back({w->objectName(), p.color(QPalette::WindowText),
                             backgroundBehind(w, QPalette::Window)});
        }
    }
    return texts;
}

// A dark desktop theme's palette: light text on dark greys.
QPalette darkPalette(QColor window, QColor base)
{
    QPalette dark(window);  // derives the button, light and dark shades from the window's
    const QColor text(0xfc, 0xfc, 0xfc);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, window.lighter(115));
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    dark.setColor(QPalette::HighlightedText, text);
    return dark;
}

// Opens the help window from the main window and checks every text of both.
void expectEveryTextReadable(tavro::ui::Form1& form, const char* palette)
{
    form.findChild<QAction*>("mnuinstruct")->trigger();
    ASSERT_NE(form.helpWindow(), nullptr);
    int checked = 0;
    for (const QWidget* window :
         {static_cast<QWidget*>(&form), static_cast<QWidget*>(form.helpWindow())}) {
        for (const Text& text : textsOf(window)) {
            EXPECT_GE(contrastRatio(text.colour, text.background), 4.5)
                << palette << ": " << text.widget.toStdString() << ' '
                << text.colour.name().toStdString() << " on "
                << text.background.name().toStdString();
            ++checked;
        }
    }
    // 7 boxes, 26 labels, 5 frames, 5 option buttons, 4 buttons, the menu bar and its 2
    // menus; the help window's 6 buttons and 2 labels.
    EXPECT_GE(checked, 58) << palette;
}

// The desktop changing its palette: the windows hear of it through the event loop.
void useDesktopPalette(const QPalette& palette)
{
    QApplication::setPalette(palette);
    QCoreApplication::processEvents();
}

QPalette darkGrey() { return darkPalette(QColor(0x35, 0x35, 0x35), QColor(0x2a, 0x2a, 0x2a)); }
QPalette nearBlack() { return darkPalette(QColor(0x20, 0x23, 0x26), QColor(0x14, 0x16, 0x18)); }

const char* const kValueLabels[] = {"speedlabel",  "barlabel",         "bartotallabel",
                                    "repeatlabel", "repeattotallabel", "beatlabel"};

class PaletteContrastTest : public Form1Test {
protected:
    ~PaletteContrastTest() override { QApplication::setPalette(light); }

    QColor valueColour(const char* name) const
    {
        return child<QLabel>(name)->palette().color(QPalette::WindowText);
    }

    const QPalette light = QApplication::palette();
};

// With the light palette the windows look as they always have: pure blue values.
TEST_F(PaletteContrastTest, LightPaletteKeepsTheBlueValuesAndEveryTextReadable)
{
    expectEveryTextReadable(form, "light");
    for (const char* name : kValueLabels)
        EXPECT_EQ(valueColour(name), QColor(0, 0, 255)) << name;
}

// The desktop turning dark while the program runs, on two dark themes' greys, and back.
TEST_F(PaletteContrastTest, DarkPaletteKeepsEveryTextReadableAndTheLightOneTheBlue)
{
    useDesktopPalette(darkGrey());
    expectEveryTextReadable(form, "dark grey");
    useDesktopPalette(nearBlack());
    expectEveryTextReadable(form, "near black");
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(0x20, 0x23, 0x26));
    for (const char* name : kValueLabels)
        EXPECT_NE(valueColour(name), QColor(0, 0, 255)) << name;

    useDesktopPalette(light);
    for (const char* name : kValueLabels)
        EXPECT_EQ(valueColour(name), QColor(0, 0, 255)) << name;
}

// Windows made while the desktop is already dark.
TEST(PaletteContrast, WindowsBuiltUnderADarkPaletteAreReadable)
{
    const QPalette light = QApplication::palette();
    QApplication::setPalette(darkGrey());
    {
        tavro::ui::Form1 form(
            {.beep = [] {}, .sound = tavro::playback::ClickPlayer::Output::SystemBell});
        expectEveryTextReadable(form, "dark grey from the start");
    }
    QApplication::setPalette(light);
}

}  // namespace
