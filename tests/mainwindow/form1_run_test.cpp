#include "form1_fixture.h"

#include <QSignalSpy>

namespace {

using namespace std::chrono_literals;
using tavro::RunState;

const QString kProblem = QStringLiteral("Houston - We have a Problem");

using Form1RunTest = Form1Test;

TEST_F(Form1RunTest, StartWithTheDefaultsPlaysTheIntroductionThenThePiece)
{
    clickQuietly("Command2");
    EXPECT_EQ(form.metronome().runState(), RunState::Running);
    EXPECT_EQ(form.timer1().interval(), 1000);
    EXPECT_EQ(status(), (std::vector<QString>{"60", "-2", "4", "0", "1", "1"}));  // untouched

    tick();
    EXPECT_EQ(status(), (std::vector<QString>{"60", "-2", "4", "1", "1", "2"}));
    EXPECT_EQ(beeps, 8);

    tick(8);  // the two introduction bars are done: first beat of bar 1
    EXPECT_EQ(status(), (std::vector<QString>{"60", "1", "4", "1", "1", "2"}));
    EXPECT_EQ(beeps, 72);
}

TEST_F(Form1RunTest, TheSpeedStepFollowsThePassesAndAddsNoDrift)
{
    type("length", "1");
    type("intro", "0");
    type("repeat", "1");
    const Clock::time_point pressed = now;
    clickQuietly("Command2");
    EXPECT_EQ(form.timer1().nextDeadline(), pressed + 1000ms);

    tick(4, 40ms);  // one pass of one bar, each beat handled 40 ms late
    EXPECT_EQ(label("speedlabel"), "60");
    const Clock::time_point stepBeat = form.timer1().nextDeadline();
    EXPECT_EQ(stepBeat, pressed + 5000ms);

    tick(1, 70ms);  // first beat of the next pass takes the step (bar 0: no introduction)
    EXPECT_EQ(form.timer1().interval(), 923);
    EXPECT_EQ(status(), (std::vector<QString>{"65", "0", "1", "1", "1", "1"}));
    EXPECT_EQ(form.timer1().nextDeadline(), stepBeat + 923ms);
}

TEST_F(Form1RunTest, StartRestartsTheCountFromThePress)
{
    now += 400ms;
    type("startspeed", "100");
    clickQuietly("Command2");
    EXPECT_EQ(form.timer1().interval(), 600);
    EXPECT_EQ(form.timer1().nextDeadline(), now + 600ms);
}

TEST_F(Form1RunTest, BadSettingsShowOneProblemBoxAndStartNothing)
{
    type("length", "12abc");
    SeenBox seen = clickExpectingBox("Command2");
    EXPECT_EQ(seen.title, kProblem);
    EXPECT_EQ(seen.text, "The length of the piece must be a number of bars between 1 and 999");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttonCount, 1);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(form.metronome().runState(), RunState::Stopped);
    EXPECT_EQ(form.timer1().interval(), 1000);

    // Several bad boxes give one box, naming the last one checked.
    type("length", "");
    type("skip", "5");
    seen = clickExpectingBox("Command2");
    EXPECT_EQ(seen.text, "The skip speed increase must be between 10 and 60 beats per minute");

    type("length", "4");
    type("skip", "30");
    type("intro", ".");
    seen = clickExpectingBox("Command2");
    EXPECT_EQ(seen.text,
              "The length of the intoduction must be a number of bars between 0 and 8");
    EXPECT_EQ(boxText("intro"), "");
}

TEST_F(Form1RunTest, StartCutsFractionsOffTheBoxes)
{
    type("length", "12.7");
    type("startspeed", "100.2");
    type("maxspeed", "100.7");
    clickQuietly("Command2");
    EXPECT_EQ(boxText("length"), "12");
    EXPECT_EQ(boxText("startspeed"), "100");
    EXPECT_EQ(boxText("maxspeed"), "100");
    tick();
    EXPECT_EQ(label("bartotallabel"), "12");
    EXPECT_EQ(label("speedlabel"), "100");
}

TEST_F(Form1RunTest, PauseWhileStoppedIsRefused)
{
    SeenBox seen = clickExpectingBox("Command4");
    EXPECT_EQ(seen.title, kProblem);
    EXPECT_EQ(seen.text, "You can't Pause while stopped!");
    EXPECT_EQ(form.windowOps().lastMessageText(), "You can't Pause while stopped!");
    EXPECT_EQ(form.metronome().runState(), RunState::Stopped);
}

TEST_F(Form1RunTest, PauseHoldsTheRunAndStopEndsIt)
{
    clickQuietly("Command2");
    tick(2);
    const std::vector<QString> atPause = status();

    clickQuietly("Command4");
    EXPECT_EQ(form.metronome().runState(), RunState::Paused);
    tick(3);
    EXPECT_EQ(status(), atPause);
    EXPECT_EQ(beeps, 16);

    clickQuietly("Command4");
    tick();
    EXPECT_EQ(label("beatlabel"), "3");

    clickQuietly("Command3");
    EXPECT_EQ(form.metronome().runState(), RunState::Stopped);
    const std::vector<QString> atStop = status();
    tick(2);
    EXPECT_EQ(status(), atStop);
    EXPECT_EQ(beeps, 24);
    EXPECT_EQ(clickExpectingBox("Command4").text, "You can't Pause while stopped!");
}

TEST_F(Form1RunTest, VolumeMovesTheCheckMarkAndTheNextTickBeepsAccordingly)
{
    clickQuietly("Command2");
    item("mnulow")->trigger();
    EXPECT_EQ(volumeChecks(), (std::vector<bool>{false, false, true}));
    tick();
    EXPECT_EQ(beeps, 2);

    item("mnuhigh")->trigger();
    EXPECT_EQ(volumeChecks(), (std::vector<bool>{true, false, false}));
    tick();
    EXPECT_EQ(beeps, 2 + 15);

    item("mnumedium")->trigger();
    item("mnumedium")->trigger();  // chosen again: stays checked, nothing toggles
    EXPECT_EQ(volumeChecks(), (std::vector<bool>{false, true, false}));
    tick();
    EXPECT_EQ(beeps, 2 + 15 + 8);
}

TEST_F(Form1RunTest, BeatsGoOnWhileAMessageBoxIsOpen)
{
    clickQuietly("Command2");
    // Expiries that arrive while the About box waits for its answer are beats.
    const SeenBox seen = answerMessageBoxDuring([&] { item("mnuabout")->trigger(); },
                                                [&] { tick(2); });
    EXPECT_TRUE(seen.shown);
    EXPECT_EQ(label("beatlabel"), "2");
    EXPECT_EQ(beeps, 16);
}

TEST_F(Form1RunTest, QuitEndsTheProgramWithAllItsWindows)
{
    QSignalSpy ended(&form, &tavro::ui::Form1::programEnded);
    item("mnuinstruct")->trigger();
    ASSERT_NE(form.helpWindow(), nullptr);
    clickQuietly("Command2");

    click("Command1");
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.helpWindow(), nullptr);
    EXPECT_FALSE(form.timer1().isActive());
    tick();
    EXPECT_EQ(beeps, 0);
}

TEST_F(Form1RunTest, ClosingTheWindowThroughItsFrameEndsTheProgram)
{
    QSignalSpy ended(&form, &tavro::ui::Form1::programEnded);
    item("mnuinstruct")->trigger();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(form.helpWindow(), nullptr);
    EXPECT_FALSE(form.timer1().isActive());
}

}  // namespace
