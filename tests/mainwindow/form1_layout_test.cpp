#include "form1_fixture.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenuBar>
#include <QRadioButton>
#include <QScreen>

namespace {

// The design table of the window: every control with its container and its place in
// twips, measured from the top-left corner of the client area.
struct Placed {
    const char* name;
    const char* container;
    int left, top, width, height;
};

const Placed kDesign[] = {
    {"Frame3", "client", 120, 120, 2895, 1575},      {"Label1", "Frame3", 600, 360, 855, 255},
    {"length", "client", 1560, 360, 495, 285},       {"Label4", "Frame3", 2160, 360, 615, 255},
    {"Label2", "Frame3", 600, 840, 855, 255},        {"intro", "client", 1560, 840, 495, 285},
    {"Label5", "Frame3", 2160, 840, 615, 255},       {"Label3", "Frame3", 600, 1320, 855, 255},
    {"repeat", "client", 1560, 1320, 495, 285},      {"Label6", "Frame3", 2160, 1320, 735, 255},
    {"Frame4", "client", 120, 1800, 2895, 1695},     {"Label10", "Frame4", 360, 2040, 1095, 255},
    {"startspeed", "client", 1560, 2040, 495, 285},  {"Label7", "Frame4", 2160, 2040, 735, 255},
    {"Label18", "Frame4", 240, 2400, 1215, 255},     {"maxspeed", "Frame4", 1560, 2400, 495, 285},
    {"Label8", "Frame4", 2160, 2400, 735, 255},      {"Label12", "Frame4", 480, 2760, 975, 255},
    {"skip", "client", 1560, 2760, 495, 285},        {"Label9", "Frame4", 2160, 2760, 735, 255},
    {"Label11", "Frame4", 360, 3120, 1095, 255},     {"linear", "client", 1560, 3120, 495, 285},
    {"Label20", "Frame4", 2160, 3120, 735, 255},     {"Frame1", "client", 3240, 120, 1575, 1575},
    {"fourfour", "Frame1", 3480, 360, 1215, 255},    {"threefour", "Frame1", 3480, 840, 1215, 255},
    {"twofour", "Frame1", 3480, 1320, 1095, 255},    {"Frame2", "client", 3240, 1800, 1575, 1575},
    {"inclinear", "Frame2", 3480, 2040, 1095, 375},  {"incskip", "Frame2", 3480, 2520, 1215, 255},
    {"Frame5", "client", 120, 3600, 4695, 1815},     {"Label13", "Frame5", 360, 3960, 855, 375},
    {"speedlabel", "Frame5", 1320, 3960, 735, 375},  {"Label17", "Frame5", 2160, 3960, 1455, 375},
    {"Label15", "Frame5", 360, 4440, 855, 375},      {"barlabel", "Frame5", 1320, 4440, 735, 375},
    {"Label16", "Frame5", 2160, 4440, 375, 255},     {"Label14", "Frame5", 240, 4920, 975, 375},
    {"bartotallabel", "Frame5", 2520, 4440, 735, 375},
    {"repeatlabel", "Frame5", 1320, 4920, 735, 375}, {"Label19", "Frame5", 2160, 4920, 375, 255},
    {"repeattotallabel", "Frame5", 2520, 4920, 735, 375},
    {"beatlabel", "Frame5", 3720, 4320, 735, 615},   {"Command2", "client", 5040, 240, 1215, 615},
    {"Command3", "client", 5040, 1080, 1215, 615},   {"Command4", "client", 5040, 1920, 1215, 615},
    {"Command1", "client", 5040, 4680, 1215, 615},
};

class Form1LayoutTest : public Form1Test {
protected:
    std::vector<bool> options() const
    {
        std::vector<bool> on;
        for (const char* name : {"fourfour", "threefour", "twofour", "inclinear", "incskip"})
            on.push_back(child<QRadioButton>(name)->isChecked());
        return on;
    }
};

// The default boxes, labels, check marks and interval are compared with the traces'
// in window_matches_trace_test.cpp.
TEST_F(Form1LayoutTest, StartsWithTheDefaultOptionsAndFocus)
{
    EXPECT_EQ(form.windowTitle(), "Tavro Metronome");
    EXPECT_EQ(options(), (std::vector<bool>{true, false, false, true, false}));
    EXPECT_TRUE(form.timer1().isActive());
    EXPECT_EQ(QApplication::focusWidget(), child("Command1"));
}

TEST_F(Form1LayoutTest, EveryControlSitsAtItsDesignPlaceAndResizingMovesNothing)
{
    QWidget* client = form.centralWidget();
    EXPECT_EQ(client->size(), QSize(427, 366));
    EXPECT_EQ(client->mapTo(&form, QPoint(0, 0)).y(), form.menuBar()->height());
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((form.frameGeometry().center() - screenCentre).manhattanLength(), 1);
    // The title bar carries the program's icon, drawn from its SVG.
    EXPECT_GT(qAlpha(form.windowIcon().pixmap(QSize(32, 32)).toImage().pixel(16, 16)), 0);

    for (const QSize size : {form.size(), QSize(700, 600), QSize(200, 150)}) {
        form.resize(size);
        QTest::qWait(1);
        EXPECT_EQ(form.size(), size);
        for (const Placed& p : kDesign) {
            const QWidget* widget = child(p.name);
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(widget->parentWidget()->objectName(), p.container) << p.name;
            const QRect inClient(widget->mapTo(client, QPoint(0, 0)), widget->size());
            EXPECT_EQ(inClient, QRect(p.left / 15, p.top / 15, p.width / 15, p.height / 15))
                << p.name;
        }
    }
}

TEST_F(Form1LayoutTest, TabVisitsTheControlsInTheirFocusOrder)
{
    QStringList chain;
    QWidget* widget = child("Command1");
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != child("Command1"));
    EXPECT_EQ(chain, (QStringList{"Command1", "startspeed", "length", "intro", "repeat", "linear",
                                  "skip", "fourfour", "threefour", "twofour", "inclinear",
                                  "incskip", "Command2", "Command3", "maxspeed", "Command4"}));
}

// The settings captions fit their labels in the dialog font, and no button answers
// Enter or Escape.
TEST_F(Form1LayoutTest, CaptionsFitAndEnterOrEscapeTriggerNothing)
{
    for (const char* frame : {"Frame3", "Frame4"})
        for (const QLabel* caption : child(frame)->findChildren<QLabel*>())
            EXPECT_LE(QFontMetrics(caption->font()).horizontalAdvance(caption->text()),
                      caption->width()) << qPrintable(caption->text());

    QTest::keyClick(child("length"), Qt::Key_Return);
    QTest::keyClick(child("length"), Qt::Key_Escape);
    EXPECT_EQ(form.metronome().runState(), tavro::RunState::Stopped);
    EXPECT_TRUE(form.isVisible());
}

// Each frame is its own group, and a button answers a click anywhere on its area.
TEST_F(Form1LayoutTest, OptionButtonsAreExclusiveWithinTheirFrameOnly)
{
    click("incskip");
    QRadioButton* threefour = child<QRadioButton>("threefour");
    QTest::mouseClick(threefour, Qt::LeftButton, {}, QPoint(threefour->width() - 3, 8));
    EXPECT_EQ(options(), (std::vector<bool>{false, true, false, false, true}));
}

// Controls are named for a screen reader; the value labels are read by their value,
// which follows the run, and described by what they show.
TEST_F(Form1LayoutTest, ControlsCarryAccessibleNamesAndValuesDescribeThemselves)
{
    clickQuietly("Command2");
    tick();
    const struct {
        const char *name, *accessible, *description = nullptr;  // only the labels' are checked
    } named[] = {
        {"length", "Length"}, {"intro", "Intro"}, {"repeat", "Repeat"},
        {"startspeed", "Starting speed"}, {"maxspeed", "Maximum speed"},
        {"linear", "Linear increase"}, {"skip", "Skip increase"}, {"fourfour", "4/4"},
        {"threefour", "3/4"}, {"twofour", "2/4"}, {"inclinear", "Linear"}, {"incskip", "Skip"},
        {"Command2", "START"}, {"Command3", "STOP"}, {"Command4", "PAUSE"}, {"Command1", "QUIT"},
        {"speedlabel", "60", "Speed in beats per minute"}, {"barlabel", "-2", "At bar"},
        {"bartotallabel", "4", "Bar total"}, {"beatlabel", "1", "Beat"},
        {"repeatlabel", "1", "Repeat"}, {"repeattotallabel", "2", "Repeat total"},
    };
    for (const auto& [name, accessible, description] : named) {
        EXPECT_EQ(child(name)->accessibleName(), accessible) << name;
        EXPECT_TRUE(description == nullptr || child(name)->accessibleDescription() == description) << name;
    }
}

}  // namespace
