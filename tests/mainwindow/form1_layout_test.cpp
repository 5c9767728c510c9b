#include "form1_fixture.h"

#include "mainwindow/form1_layout.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenuBar>
#include <QRadioButton>
#include <QScreen>

#include <string>

namespace {

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

// Every control stands in the container the layout table names, at its place there
// (15 twips a pixel); a few places read off the drawing check the table itself.
TEST_F(Form1LayoutTest, EveryControlSitsAtItsDesignPlaceAndResizingMovesNothing)
{
    QWidget* client = form.centralWidget();
    EXPECT_EQ(client->size(), QSize(427, 366));
    EXPECT_EQ(client->mapTo(&form, QPoint(0, 0)).y(), form.menuBar()->height());
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((form.frameGeometry().center() - screenCentre).manhattanLength(), 1);
    // The title bar carries the program's icon, drawn from its SVG.
    EXPECT_GT(qAlpha(form.windowIcon().pixmap(QSize(32, 32)).toImage().pixel(16, 16)), 0);

    const struct {
        const char* name;
        const char* container;
        QRect inClient;
    } drawn[] = {
        {"maxspeed", "Frame4", {104, 160, 33, 19}},  {"skip", "client", {104, 184, 33, 19}},
        {"Label18", "Frame4", {16, 160, 81, 17}},    {"twofour", "Frame1", {232, 88, 73, 17}},
        {"beatlabel", "Frame5", {248, 288, 49, 41}}, {"Command1", "client", {336, 312, 81, 41}},
    };
    auto placeInClient = [client](const QWidget* widget) {
        return QRect(widget->mapTo(client, QPoint(0, 0)), widget->size());
    };
    for (const QSize size : {form.size(), QSize(700, 600), QSize(200, 150)}) {
        form.resize(size);
        QTest::qWait(1);
        EXPECT_EQ(form.size(), size);
        for (const tavro::ui::Form1Placement& p : tavro::ui::kForm1Layout) {
            const std::string name(p.name);
            const QWidget* widget = child(name.c_str());
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(widget->parentWidget()->objectName().toStdString(), p.container) << name;
            EXPECT_EQ(placeInClient(widget),
                      QRect(p.left / 15, p.top / 15, p.width / 15, p.height / 15))
                << name;
        }
        for (const auto& [name, container, inClient] : drawn) {
            EXPECT_EQ(child(name)->parentWidget()->objectName(), container) << name;
            EXPECT_EQ(placeInClient(child(name)), inClient) << name;
        }
    }
    // No control of the client area stands outside the table.
    QStringList unplaced;
    for (const QWidget* widget : client->findChildren<QWidget*>())
        if (tavro::ui::findForm1Placement(widget->objectName().toStdString()) == nullptr)
            unplaced << widget->objectName();
    EXPECT_EQ(unplaced, QStringList());
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
                      caption->width())
                << qPrintable(caption->text());

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
        {"length", "Length"},
        {"intro", "Intro"},
        {"repeat", "Repeat"},
        {"startspeed", "Starting speed"},
        {"maxspeed", "Maximum speed"},
        {"linear", "Linear increase"},
        {"skip", "Skip increase"},
        {"fourfour", "4/4"},
        {"threefour", "3/4"},
        {"twofour", "2/4"},
        {"inclinear", "Linear"},
        {"incskip", "Skip"},
        {"Command2", "START"},
        {"Command3", "STOP"},
        {"Command4", "PAUSE"},
        {"Command1", "QUIT"},
        {"speedlabel", "Speed: 60 beats per minute", "Speed in beats per minute"},
        {"barlabel", "Bar -2 of 4", "At bar"},
        {"bartotallabel", "Bars in the piece: 4", "Bar total"},
        {"beatlabel", "Beat 1", "Beat"},
        {"repeatlabel", "Pass 1 of 2", "Repeat"},
        {"repeattotallabel", "Passes at each speed: 2", "Repeat total"},
    };
    for (const auto& [name, accessible, description] : named) {
        EXPECT_EQ(child(name)->accessibleName(), accessible) << name;
        EXPECT_TRUE(description == nullptr || child(name)->accessibleDescription() == description)
            << name;
    }
}

}  // namespace
