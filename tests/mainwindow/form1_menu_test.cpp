#include "form1_fixture.h"

#include "help/about_info.h"
#include "help/help_window.h"

#include <QScrollBar>

#include <algorithm>
#include <string_view>

namespace {

std::vector<std::string> splitAtCarriageReturns(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find('\r', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return lines;
        }
        start = end + 1;
    }
}

std::string str(std::string_view view) { return std::string(view); }

using Form1MenuTest = Form1Test;

TEST_F(Form1MenuTest, AboutShowsTenLinesSeparatedByCarriageReturns)
{
    const SeenBox seen = answerMessageBoxDuring([&] { item("mnuabout")->trigger(); });
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, "About");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttonCount, 1);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_FALSE(seen.okHasIcon);

    const std::string built = form.windowOps().lastMessageText();
    EXPECT_EQ(built.find('\n'), std::string::npos);
    const std::vector<std::string> expected{
        "Tavro Metronome",
        str(tavro::about::kAuthorshipLine),
        str(tavro::about::kRightsNotice),
        "",
        "Email:",
        str(tavro::about::kEmailPrimary),
        str(tavro::about::kEmailSecondary),
        "",
        "Webpage:",
        str(tavro::about::kWebPage),
    };
    EXPECT_EQ(splitAtCarriageReturns(built), expected);

    // On screen each carriage return is one line break.
    EXPECT_EQ(seen.text.split('\n').size(), 10);
    EXPECT_EQ(seen.text.split('\n').at(8), "Webpage:");
    EXPECT_EQ(form.metronome().runState(), tavro::RunState::Stopped);
}

TEST_F(Form1MenuTest, InstructionsKeepsOneHelpWindowAndShowsItAgainAsItWasLeft)
{
    EXPECT_EQ(form.helpWindow(), nullptr);
    item("mnuinstruct")->trigger();
    tavro::ui::HelpWindow* help = form.helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());

    item("mnuinstruct")->trigger();
    EXPECT_EQ(form.helpWindow(), help);
    const QWidgetList windows = QApplication::topLevelWidgets();
    EXPECT_EQ(std::count_if(windows.begin(), windows.end(),
                            [](QWidget* w) { return qobject_cast<tavro::ui::HelpWindow*>(w); }),
              1);

    // Hidden with OK after choosing a topic and scrolling, it comes back as it was.
    QTest::mouseClick(help->findChild<QPushButton*>("Command2"), Qt::LeftButton);
    help->findChild<QScrollBar*>("VScroll1")->setValue(400);
    QTest::mouseClick(help->findChild<QPushButton*>("Command7"), Qt::LeftButton);
    EXPECT_FALSE(help->isVisible());

    item("mnuinstruct")->trigger();
    EXPECT_EQ(form.helpWindow(), help);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->findChild<QScrollBar*>("VScroll1")->value(), 400);
    EXPECT_EQ(help->lastScroll(), 400);

    // The main window goes on working while the help window is open.
    clickQuietly("Command2");
    tick();
    EXPECT_EQ(label("beatlabel"), "1");
}

TEST_F(Form1MenuTest, AHelpWindowClosedThroughItsFrameIsBuiltAfresh)
{
    item("mnuinstruct")->trigger();
    QPointer<tavro::ui::HelpWindow> first = form.helpWindow();
    first->findChild<QScrollBar*>("VScroll1")->setValue(800);
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(form.helpWindow(), nullptr);

    item("mnuinstruct")->trigger();
    ASSERT_NE(form.helpWindow(), nullptr);
    EXPECT_EQ(form.helpWindow()->findChild<QScrollBar*>("VScroll1")->value(), 0);
}

// The real beat clock, not the test's: a run keeps ticking under the modal About box.
TEST(Form1OnTheRealClock, TicksArriveWhileTheAboutBoxIsOpen)
{
    int beeps = 0;
    tavro::ui::Form1Services services;
    services.beep = [&beeps] { ++beeps; };
    tavro::ui::Form1 form(services);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* startspeed = form.findChild<QLineEdit*>("startspeed");
    startspeed->setText("250");
    QTest::mouseClick(form.findChild<QPushButton*>("Command2"), Qt::LeftButton);
    ASSERT_EQ(form.timer1().interval(), 240);

    auto* beat = form.findChild<QLabel*>("beatlabel");
    bool ticked = false;
    const SeenBox seen = answerMessageBoxDuring(
        [&] { form.findChild<QAction*>("mnuabout")->trigger(); },
        [&] { ticked = QTest::qWaitFor([&] { return beat->text() == "2"; }, 10000); });
    EXPECT_TRUE(seen.shown);
    EXPECT_TRUE(ticked);
    EXPECT_GE(beeps, 16);
}

}  // namespace
