#include "form1_fixture.h"

#include "mainwindow/about_text.h"

#include <QSignalSpy>

// The run itself, label by label, is compared with metronome-trace's golden traces in
// window_matches_trace_test.cpp; these tests cover what the traces do not show.
namespace {

using namespace std::chrono_literals;

using Form1RunTest = Form1Test;

// START counts the first beat from the press; a speed step counts from the scheduled
// time of its beat, however late the beats are handled, so the run does not drift.
TEST_F(Form1RunTest, TheBeatsKeepTheirGridThroughASpeedStep)
{
    type("length", "1");
    type("intro", "0");
    type("repeat", "1");
    now += 400ms;
    const Clock::time_point pressed = now;
    clickQuietly("Command2");
    EXPECT_EQ(form.timer1().nextDeadline(), pressed + 1000ms);

    tick(4, 40ms);  // one pass of one bar, each beat handled 40 ms late
    const Clock::time_point stepBeat = form.timer1().nextDeadline();
    EXPECT_EQ(stepBeat, pressed + 5000ms);
    tick(1, 70ms);  // the first beat of the next pass takes the step
    EXPECT_EQ(form.timer1().interval(), 923);
    EXPECT_EQ(label("speedlabel"), "65");
    EXPECT_EQ(form.timer1().nextDeadline(), stepBeat + 923ms);
}

// QUIT, and the frame's close box alike, end the program with all its windows and its
// clock, here during a run with the help window open.
class Form1EndTest : public Form1Test, public ::testing::WithParamInterface<bool> {};

TEST_P(Form1EndTest, EndsTheProgramWithAllItsWindows)
{
    QSignalSpy ended(&form, &tavro::ui::Form1::programEnded);
    item("mnuinstruct")->trigger();
    ASSERT_TRUE(form.helpWindow() != nullptr && form.helpWindow()->isVisible());
    clickQuietly("Command2");
    GetParam() ? click("Command1") : void(form.close());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.helpWindow(), nullptr);
    EXPECT_FALSE(form.timer1().isActive());
}
INSTANTIATE_TEST_SUITE_P(QuitOrCloseBox, Form1EndTest, ::testing::Bool());

// Ten lines joined by carriage returns, each shown as a line of its own.
TEST_F(Form1RunTest, AboutShowsTenLines)
{
    const SeenBox seen = answerMessageBoxDuring([&] { item("mnuabout")->trigger(); });
    EXPECT_EQ(seen.title, "About");
    EXPECT_TRUE(seen.plainOk);
    const QStringList lines = QString::fromStdString(tavro::aboutText()).split('\r');
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines[0], "Tavro Metronome");
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(lines[i].isEmpty(), i == 3 || i == 7) << i;
    EXPECT_EQ(seen.text.split('\n'), lines);  // so no line holds a '\n' of its own
}

// A run at 250 bpm on the real beat clock, its beeps counted.
void startOnTheRealClock(tavro::ui::Form1& form)
{
    form.show();
    form.findChild<QLineEdit*>("startspeed")->setText("250");
    QTest::mouseClick(form.findChild<QPushButton*>("Command2"), Qt::LeftButton);
}

// On the real beat clock, a run keeps ticking under the modal About box.
TEST(Form1OnTheRealClock, TicksArriveWhileTheAboutBoxIsOpen)
{
    int beeps = 0;
    tavro::ui::Form1 form(
        {.beep = [&beeps] { ++beeps; }, .sound = tavro::playback::ClickPlayer::Output::SystemBell});
    startOnTheRealClock(form);

    const QLabel* beat = form.findChild<QLabel*>("beatlabel");
    bool ticked = false;
    const SeenBox seen = answerMessageBoxDuring(
        [&] { form.findChild<QAction*>("mnuabout")->trigger(); },
        [&] { ticked = QTest::qWaitFor([&] { return beat->text() == "2"; }, 10000); });
    EXPECT_TRUE(seen.shown);
    EXPECT_TRUE(ticked);
    EXPECT_GE(beeps, 16);
}

// A beat is counted ahead of its time; the labels change and the click sounds when the
// beat is due, not when its handler ran.
TEST_F(Form1RunTest, ABeatCountedAheadIsShownAndHeardOnItsTime)
{
    clickQuietly("Command2");
    const std::vector<QString> before = status();
    const Clock::time_point due = form.timer1().nextDeadline();
    now = due - 70ms;
    form.timer1().expire();
    EXPECT_EQ(status(), before);
    EXPECT_EQ(beeps, 0);
    now = due;
    EXPECT_TRUE(QTest::qWaitFor([&] { return beeps == 8; }, 2000));
    EXPECT_EQ(label("beatlabel"), "1");
}

// Without a sound server the run goes on with the system bell, and the user is told
// once, by a notice that stops nothing.
TEST(Form1WithoutASoundServer, ClicksWithTheBellAndSaysSoOnce)
{
    // Neither PulseAudio nor PipeWire there, whatever runs on this machine.
    qputenv("PULSE_SERVER", "unix:/nonexistent/tavro-test/native");
    qputenv("PIPEWIRE_RUNTIME_DIR", "/nonexistent/tavro-test");
    qunsetenv("PIPEWIRE_REMOTE");
    int beeps = 0;
    tavro::ui::Form1 form({.beep = [&beeps] { ++beeps; }});
    startOnTheRealClock(form);

    EXPECT_TRUE(QTest::qWaitFor([&] { return beeps >= 3 * 8; }, 10000));
    const auto notices = form.findChildren<QMessageBox*>("notice");
    ASSERT_EQ(notices.size(), 1);
    EXPECT_FALSE(notices[0]->isModal());
    EXPECT_FALSE(notices[0]->frameGeometry().intersects(form.frameGeometry()));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    QTest::mouseClick(form.findChild<QPushButton*>("Command3"), Qt::LeftButton);
    QTest::mouseClick(form.findChild<QPushButton*>("Command2"), Qt::LeftButton);
    QTest::qWait(1500);
    EXPECT_EQ(form.findChildren<QMessageBox*>("notice").size(), 1);
    qunsetenv("PULSE_SERVER");
    qunsetenv("PIPEWIRE_RUNTIME_DIR");
}

}  // namespace
