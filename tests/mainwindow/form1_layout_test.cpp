#include "form1_fixture.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
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
    {"Frame3", "client", 120, 120, 2895, 1575},
    {"Label1", "Frame3", 600, 360, 855, 255},
    {"length", "client", 1560, 360, 495, 285},
    {"Label4", "Frame3", 2160, 360, 615, 255},
    {"Label2", "Frame3", 600, 840, 855, 255},
    {"intro", "client", 1560, 840, 495, 285},
    {"Label5", "Frame3", 2160, 840, 615, 255},
    {"Label3", "Frame3", 600, 1320, 855, 255},
    {"repeat", "client", 1560, 1320, 495, 285},
    {"Label6", "Frame3", 2160, 1320, 735, 255},
    {"Frame4", "client", 120, 1800, 2895, 1695},
    {"Label10", "Frame4", 360, 2040, 1095, 255},
    {"startspeed", "client", 1560, 2040, 495, 285},
    {"Label7", "Frame4", 2160, 2040, 735, 255},
    {"Label18", "Frame4", 240, 2400, 1215, 255},
    {"maxspeed", "Frame4", 1560, 2400, 495, 285},
    {"Label8", "Frame4", 2160, 2400, 735, 255},
    {"Label12", "Frame4", 480, 2760, 975, 255},
    {"skip", "client", 1560, 2760, 495, 285},
    {"Label9", "Frame4", 2160, 2760, 735, 255},
    {"Label11", "Frame4", 360, 3120, 1095, 255},
    {"linear", "client", 1560, 3120, 495, 285},
    {"Label20", "Frame4", 2160, 3120, 735, 255},
    {"Frame1", "client", 3240, 120, 1575, 1575},
    {"fourfour", "Frame1", 3480, 360, 1215, 255},
    {"threefour", "Frame1", 3480, 840, 1215, 255},
    {"twofour", "Frame1", 3480, 1320, 1095, 255},
    {"Frame2", "client", 3240, 1800, 1575, 1575},
    {"inclinear", "Frame2", 3480, 2040, 1095, 375},
    {"incskip", "Frame2", 3480, 2520, 1215, 255},
    {"Frame5", "client", 120, 3600, 4695, 1815},
    {"Label13", "Frame5", 360, 3960, 855, 375},
    {"speedlabel", "Frame5", 1320, 3960, 735, 375},
    {"Label17", "Frame5", 2160, 3960, 1455, 375},
    {"Label15", "Frame5", 360, 4440, 855, 375},
    {"barlabel", "Frame5", 1320, 4440, 735, 375},
    {"Label16", "Frame5", 2160, 4440, 375, 255},
    {"bartotallabel", "Frame5", 2520, 4440, 735, 375},
    {"Label14", "Frame5", 240, 4920, 975, 375},
    {"repeatlabel", "Frame5", 1320, 4920, 735, 375},
    {"Label19", "Frame5", 2160, 4920, 375, 255},
    {"repeattotallabel", "Frame5", 2520, 4920, 735, 375},
    {"beatlabel", "Frame5", 3720, 4320, 735, 615},
    {"Command2", "client", 5040, 240, 1215, 615},
    {"Command3", "client", 5040, 1080, 1215, 615},
    {"Command4", "client", 5040, 1920, 1215, 615},
    {"Command1", "client", 5040, 4680, 1215, 615},
};

QRect pixels(const Placed& p)
{
    return {p.left / 15, p.top / 15, p.width / 15, p.height / 15};
}

class Form1LayoutTest : public Form1Test {
protected:
    QWidget* client() const { return form.centralWidget(); }

    // Where a control lies in the client area, whatever its container.
    QRect inClient(const QWidget* widget) const
    {
        return {widget->mapTo(client(), QPoint(0, 0)), widget->size()};
    }

    void expectEveryControlAtItsDesignPlace() const
    {
        for (const Placed& p : kDesign) {
            const QWidget* widget = child<QWidget>(p.name);
            ASSERT_NE(widget, nullptr);
            EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(p.container))
                << p.name;
            EXPECT_EQ(inClient(widget), pixels(p)) << p.name;
        }
    }
};

TEST_F(Form1LayoutTest, StartsWithTheDefaultSettingsAndStatus)
{
    EXPECT_EQ(form.windowTitle(), "Tavro Metronome");
    const std::vector<QString> boxes{boxText("length"),   boxText("intro"),
                                     boxText("repeat"),   boxText("startspeed"),
                                     boxText("maxspeed"), boxText("linear"),
                                     boxText("skip")};
    EXPECT_EQ(boxes, (std::vector<QString>{"4", "2", "2", "60", "300", "5", "30"}));

    std::vector<bool> options;
    for (const char* name : {"fourfour", "threefour", "twofour", "inclinear", "incskip"}) {
        options.push_back(child<QRadioButton>(name)->isChecked());
    }
    EXPECT_EQ(options, (std::vector<bool>{true, false, false, true, false}));
    EXPECT_EQ(volumeChecks(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(status(), (std::vector<QString>{"60", "-2", "4", "0", "1", "1"}));

    EXPECT_TRUE(form.timer1().isActive());
    EXPECT_EQ(form.timer1().interval(), 1000);
    EXPECT_EQ(form.metronome().runState(), tavro::RunState::Stopped);
    EXPECT_EQ(form.metronome().state().beepcount, 8);
    EXPECT_EQ(QApplication::focusWidget(), child<QWidget>("Command1"));
}

TEST_F(Form1LayoutTest, EveryControlSitsAtItsDesignPlaceAndResizingMovesNothing)
{
    EXPECT_EQ(client()->size(), QSize(427, 366));
    EXPECT_EQ(client()->mapTo(&form, QPoint(0, 0)).y(), form.menuBar()->height());
    expectEveryControlAtItsDesignPlace();

    form.resize(700, 600);
    QTest::qWait(1);
    expectEveryControlAtItsDesignPlace();
    form.resize(200, 150);
    QTest::qWait(1);
    expectEveryControlAtItsDesignPlace();
}

TEST_F(Form1LayoutTest, OpensInTheMiddleOfTheScreenAndCanBeResizedAndMaximised)
{
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    const QPoint offset = form.frameGeometry().center() - screenCentre;
    EXPECT_LE(offset.manhattanLength(), 1) << offset.x() << "," << offset.y();

    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_LT(form.minimumWidth(), 427);
    EXPECT_GT(form.maximumWidth(), 2000);

    // The title bar carries the program's icon, drawn from the built-in SVG.
    const QImage icon = form.windowIcon().pixmap(QSize(32, 32)).toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_GT(qAlpha(icon.pixel(16, 16)), 0);  // the case stands in the middle
}

TEST_F(Form1LayoutTest, TabVisitsTheControlsInTheirFocusOrder)
{
    const QStringList order{"Command1", "startspeed", "length",   "intro",     "repeat",
                            "linear",   "skip",       "fourfour", "threefour", "twofour",
                            "inclinear", "incskip",   "Command2", "Command3",  "maxspeed",
                            "Command4"};
    QStringList chain;
    QWidget* widget = child<QWidget>("Command1");
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            chain << widget->objectName();
        }
        widget = widget->nextInFocusChain();
    } while (widget != child<QWidget>("Command1"));
    EXPECT_EQ(chain, order);

    // Pressing Tab moves along the same chain (within a frame of option buttons the
    // toolkit's own rules apply: only the chosen button takes the focus).
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    child<QWidget>("Command1")->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 13; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    const QStringList expected{"Command1", "startspeed", "length",   "intro",    "repeat",
                               "linear",   "skip",       "fourfour", "inclinear", "Command2",
                               "Command3", "maxspeed",   "Command4", "Command1"};
    EXPECT_EQ(visited, expected);
}

TEST_F(Form1LayoutTest, StatusFrameFontsColoursAndBorders)
{
    const char* values[] = {"speedlabel",  "barlabel",         "bartotallabel",
                            "repeatlabel", "repeattotallabel", "beatlabel"};
    for (const char* name : values) {
        const QLabel* value = child<QLabel>(name);
        EXPECT_TRUE(value->font().bold()) << name;
        EXPECT_EQ(value->font().pointSizeF(), name == std::string("beatlabel") ? 24.0 : 12.0)
            << name;
        EXPECT_EQ(value->palette().color(QPalette::WindowText), QColor(0, 0, 255)) << name;
        EXPECT_TRUE(value->alignment().testFlag(Qt::AlignHCenter)) << name;
        EXPECT_NE(value->frameShape(), QFrame::NoFrame) << name;
        EXPECT_EQ(value->lineWidth(), 1) << name;
    }
    for (const char* name : {"Label13", "Label15", "Label14", "Label17", "Label16", "Label19"}) {
        const QLabel* caption = child<QLabel>(name);
        EXPECT_TRUE(caption->font().bold()) << name;
        EXPECT_EQ(caption->font().pointSizeF(), 12.0) << name;
        EXPECT_EQ(caption->frameShape(), QFrame::NoFrame) << name;
        EXPECT_NE(caption->palette().color(QPalette::WindowText), QColor(0, 0, 255)) << name;
    }
    EXPECT_TRUE(child<QLabel>("Label13")->alignment().testFlag(Qt::AlignRight));
    EXPECT_TRUE(child<QLabel>("Label17")->alignment().testFlag(Qt::AlignLeft));
}

TEST_F(Form1LayoutTest, SettingsCaptionsFitTheirLabelsInTheDialogFont)
{
    // The dialog font is small enough that no caption is cut off.
    for (QGroupBox* frame : {child<QGroupBox>("Frame3"), child<QGroupBox>("Frame4")}) {
        for (const QLabel* caption : frame->findChildren<QLabel*>()) {
            EXPECT_FALSE(caption->font().bold());
            EXPECT_LE(caption->font().pointSizeF(), 8.0);
            EXPECT_GE(caption->font().pointSizeF(), 6.0);
            EXPECT_LE(QFontMetrics(caption->font()).horizontalAdvance(caption->text()),
                      caption->width())
                << qPrintable(caption->text());
        }
    }
    for (const char* name : {"Label1", "Label18", "Label11"}) {
        EXPECT_TRUE(child<QLabel>(name)->alignment().testFlag(Qt::AlignRight)) << name;
    }
    EXPECT_TRUE(child<QLabel>("Label7")->alignment().testFlag(Qt::AlignLeft));
}

TEST_F(Form1LayoutTest, MenusHaveTheirCaptionsChecksAndNoAccessKeys)
{
    QMenuBar* bar = form.menuBar();
    QStringList titles;
    for (QAction* menu : bar->actions()) {
        titles << menu->text();
    }
    EXPECT_EQ(titles, (QStringList{"Volume", "Help"}));

    auto captions = [&](const char* menuName) {
        QStringList texts;
        for (QAction* a : child<QMenu>(menuName)->actions()) {
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
            EXPECT_EQ(a->isCheckable(), menuName == std::string("mnuvolume")) << qPrintable(a->text());
        }
        return texts;
    };
    EXPECT_EQ(captions("mnuvolume"), (QStringList{"High", "Medium", "Low"}));
    EXPECT_EQ(captions("mnuhelp"), (QStringList{"Instructions", "-", "About"}));
    EXPECT_EQ(child<QAction>("spacer")->isSeparator(), true);

    for (QWidget* widget : form.findChildren<QWidget*>()) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            EXPECT_FALSE(button->text().contains('&')) << qPrintable(button->text());
        }
    }
    for (QAction* action : form.findChildren<QAction*>()) {
        EXPECT_FALSE(action->text().contains('&')) << qPrintable(action->text());
    }
}

TEST_F(Form1LayoutTest, NoButtonAnswersEnterOrEscape)
{
    for (QPushButton* button : form.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault()) << qPrintable(button->text());
        EXPECT_FALSE(button->autoDefault()) << qPrintable(button->text());
    }
    // Enter in a settings box starts nothing.
    QTest::keyClick(box("length"), Qt::Key_Return);
    QTest::keyClick(box("length"), Qt::Key_Escape);
    EXPECT_EQ(form.metronome().runState(), tavro::RunState::Stopped);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(Form1LayoutTest, OptionButtonsAreExclusiveWithinTheirFrameOnly)
{
    click("incskip");
    EXPECT_FALSE(child<QRadioButton>("inclinear")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("incskip")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("fourfour")->isChecked());

    click("twofour");
    EXPECT_FALSE(child<QRadioButton>("fourfour")->isChecked());
    EXPECT_FALSE(child<QRadioButton>("threefour")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("incskip")->isChecked());

    // A button answers a click anywhere on its area, well to the right of its caption.
    QRadioButton* threefour = child<QRadioButton>("threefour");
    QTest::mouseClick(threefour, Qt::LeftButton, {}, QPoint(threefour->width() - 3, 8));
    EXPECT_TRUE(threefour->isChecked());
    EXPECT_FALSE(child<QRadioButton>("twofour")->isChecked());
}

TEST_F(Form1LayoutTest, ControlsCarryAccessibleNamesAndValuesDescribeThemselves)
{
    const std::pair<const char*, const char*> named[] = {
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
    };
    for (const auto& [name, accessible] : named) {
        EXPECT_EQ(child<QWidget>(name)->accessibleName(), accessible) << name;
    }

    const std::pair<const char*, const char*> described[] = {
        {"speedlabel", "Speed in beats per minute"},
        {"barlabel", "At bar"},
        {"bartotallabel", "Bar total"},
        {"repeatlabel", "Repeat"},
        {"repeattotallabel", "Repeat total"},
        {"beatlabel", "Beat"},
    };
    for (const auto& [name, description] : described) {
        const QLabel* value = child<QLabel>(name);
        EXPECT_EQ(value->accessibleDescription(), description) << name;
        EXPECT_EQ(value->accessibleName(), value->text()) << name;
    }

    // The name follows the value as the run writes it.
    clickQuietly("Command2");
    tick();
    EXPECT_EQ(child<QLabel>("beatlabel")->accessibleName(), "1");
    EXPECT_EQ(child<QLabel>("repeattotallabel")->accessibleName(), "2");
}

}  // namespace
