#include "engine/metronome.h"
#include "fake_window.h"

#include <gtest/gtest.h>

namespace tavro {
namespace {

using test::FakeWindow;

struct Loaded {
    FakeWindow window;
    Metronome engine{window};
    Loaded() { engine.Form_Load(); }
    void ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            engine.Timer1_Timer();
    }
};

TEST(RunControl, LoadLeavesTheMetronomeStoppedAndSilent)
{
    Loaded m;
    EXPECT_EQ(m.engine.runState(), RunState::Stopped);
    EXPECT_EQ(m.engine.state().beepcount, 8);
    EXPECT_EQ(m.engine.state().repeatcount, 1);
    EXPECT_EQ(m.engine.state().skipcount, 0);

    const auto labelsBefore = m.window.labels;
    m.ticks(5);
    EXPECT_EQ(m.window.beeps, 0);
    EXPECT_EQ(m.window.labels, labelsBefore);
    EXPECT_TRUE(m.window.intervalsSet.empty());
}

TEST(RunControl, PauseWhileStoppedIsRefusedAndChangesNothing)
{
    Loaded m;
    m.engine.Command4_Click();
    ASSERT_EQ(m.window.messages.size(), 1u);
    EXPECT_EQ(m.window.messages[0], "You can't Pause while stopped!");
    EXPECT_EQ(m.window.titles[0], "Houston - We have a Problem");
    EXPECT_EQ(m.engine.runState(), RunState::Stopped);

    // STOP while paused gives Stopped, and PAUSE is then refused again.
    m.engine.Command2_Click();
    m.engine.Command4_Click();
    EXPECT_EQ(m.engine.runState(), RunState::Paused);
    m.engine.Command3_Click();
    m.engine.Command4_Click();
    EXPECT_EQ(m.window.messages.size(), 2u);
    EXPECT_EQ(m.engine.runState(), RunState::Stopped);
}

TEST(RunControl, PauseSuspendsAndResumeContinuesWhereItStood)
{
    Loaded m;
    m.engine.Command2_Click();
    m.ticks(7);
    const MetronomeState before = m.engine.state();
    const auto labels = m.window.labels;

    m.engine.Command4_Click();
    EXPECT_EQ(m.engine.runState(), RunState::Paused);
    m.ticks(3);
    EXPECT_EQ(m.window.labels, labels);
    EXPECT_EQ(m.window.beeps, 7 * 8);

    m.engine.Command4_Click();
    EXPECT_EQ(m.engine.runState(), RunState::Running);
    EXPECT_EQ(m.engine.state().beat, before.beat);
    EXPECT_EQ(m.engine.state().bar, before.bar);
    m.ticks(1);
    EXPECT_EQ(m.window.label(StatusLabel::Beat), "4");  // beat 3 of bar -1 -> 4
    EXPECT_EQ(m.window.label(StatusLabel::Bar), "-1");
}

TEST(RunControl, StopResetsTheRunFlagsAndCountsButKeepsTheRest)
{
    Loaded m;
    m.window.box(Box::Repeat) = "1";
    m.window.box(Box::Length) = "1";
    m.window.box(Box::Intro) = "0";
    m.engine.Command2_Click();
    m.ticks(9);  // two speed steps in, mid-pass
    const MetronomeState running = m.engine.state();
    ASSERT_GT(running.stepphase, 1);
    const auto labels = m.window.labels;
    const auto interval = m.window.interval;

    m.engine.Command3_Click();
    m.engine.Command3_Click();  // twice is the same as once
    const MetronomeState& s = m.engine.state();
    EXPECT_EQ(m.engine.runState(), RunState::Stopped);
    EXPECT_EQ(s.repeatcount, 1);
    EXPECT_EQ(s.skipcount, 0);
    EXPECT_EQ(s.stepphase, 1);
    EXPECT_EQ(s.beat, running.beat);
    EXPECT_EQ(s.bar, running.bar);
    EXPECT_EQ(s.baserate, running.baserate);
    EXPECT_EQ(m.window.interval, interval);
    EXPECT_EQ(m.window.labels, labels);
}

TEST(RunControl, StartDuringARunBeginsAfreshButCarriesThePassCount)
{
    Loaded m;
    m.engine.Command2_Click();
    m.ticks(24 + 3);  // into the second pass at 60
    ASSERT_EQ(m.engine.state().repeatcount, 2);
    m.engine.Command4_Click();  // paused

    m.window.box(Box::Repeat) = "1";
    m.engine.Command2_Click();
    EXPECT_EQ(m.engine.runState(), RunState::Running);
    EXPECT_EQ(m.engine.state().beat, 0);
    EXPECT_EQ(m.engine.state().bar, -2);
    EXPECT_EQ(m.engine.state().repeatcount, 2);

    // The pass count is above the new total, so the very first beat steps the speed.
    m.ticks(1);
    EXPECT_EQ(m.window.interval, 923);
    EXPECT_EQ(m.window.label(StatusLabel::Speed), "65");
    EXPECT_EQ(m.window.label(StatusLabel::Repeat), "1");
}

TEST(RunControl, VolumeMovesTheCheckMarkAndTheBeepCountTogether)
{
    Loaded m;
    m.engine.Command2_Click();
    m.engine.mnulow_Click();
    EXPECT_EQ(m.window.volumeChecks, (std::array<bool, 3>{false, false, true}));
    m.ticks(1);
    EXPECT_EQ(m.window.beeps, 2);

    m.engine.mnuhigh_Click();
    EXPECT_EQ(m.window.volumeChecks, (std::array<bool, 3>{true, false, false}));
    m.ticks(1);
    EXPECT_EQ(m.window.beeps, 2 + 15);

    // The volume survives STOP and START.
    m.engine.Command3_Click();
    m.engine.Command2_Click();
    m.ticks(1);
    EXPECT_EQ(m.window.beeps, 2 + 15 + 15);

    m.engine.mnumedium_Click();
    m.engine.mnumedium_Click();  // choosing the checked item again toggles nothing
    EXPECT_EQ(m.window.volumeChecks, (std::array<bool, 3>{false, true, false}));
    EXPECT_EQ(m.engine.state().beepcount, 8);
}

TEST(RunControl, QuitEndsTheProgramInAnyState)
{
    Loaded m;
    m.engine.Command2_Click();
    m.engine.Command1_Click();
    EXPECT_TRUE(m.window.ended);
}

}  // namespace
}  // namespace tavro
