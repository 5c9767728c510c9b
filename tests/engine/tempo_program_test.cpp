#include "engine/metronome.h"
#include "fake_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace tavro {
namespace {

using test::FakeWindow;

// A plan whose speed steps come every second beat (2/4, one bar, no introduction,
// one pass per speed), so the speeds of a plan read straight off the ticks.
struct Plan {
    FakeWindow window;
    Metronome engine{window};

    Plan(const char* start, const char* skip, const char* linear, const char* max, bool skipMode)
    {
        engine.Form_Load();
        window.choose(Option::TwoFour);
        window.choose(skipMode ? Option::IncSkip : Option::IncLinear);
        window.box(Box::Length) = "1";
        window.box(Box::Intro) = "0";
        window.box(Box::Repeat) = "1";
        window.box(Box::StartSpeed) = start;
        window.box(Box::Skip) = skip;
        window.box(Box::Linear) = linear;
        window.box(Box::MaxSpeed) = max;
        engine.Command2_Click();
        EXPECT_TRUE(window.messages.empty());
    }

    // The speed label at the first beat and after each of the next `steps` steps.
    std::vector<std::string> speeds(int steps)
    {
        std::vector<std::string> shown;
        engine.Timer1_Timer();
        shown.push_back(window.label(StatusLabel::Speed));
        for (int i = 0; i < steps; ++i) {
            engine.Timer1_Timer();
            engine.Timer1_Timer();
            shown.push_back(window.label(StatusLabel::Speed));
        }
        return shown;
    }
};

using Speeds = std::vector<std::string>;

TEST(TempoProgram, LinearPlanClimbsToTheMaximumAndStaysThere)
{
    Plan plan("100", "40", "10", "170", false);
    EXPECT_EQ(plan.speeds(9), (Speeds{"100", "110", "120", "130", "140", "150", "160", "170",
                                      "170", "170"}));
    EXPECT_EQ(plan.window.intervalsSet,
              (std::vector<std::int32_t>{600, 545, 500, 462, 429, 400, 375, 353, 353, 353}));

    Plan close("165", "40", "10", "170", false);
    EXPECT_EQ(close.speeds(2), (Speeds{"165", "170", "170"}));
}

TEST(TempoProgram, SkipPlansAlternateAndSettleOnTheMaximum)
{
    Plan worked("100", "40", "10", "170", true);
    EXPECT_EQ(worked.speeds(18), (Speeds{"100", "140", "110", "150", "120", "160", "130", "170",
                                         "140", "170", "140", "170", "150", "170", "160", "170",
                                         "170", "170", "170"}));

    Plan high("150", "40", "10", "170", true);
    EXPECT_EQ(high.speeds(10),
              (Speeds{"150", "170", "140", "170", "150", "170", "160", "170", "170", "170", "170"}));

    // 100 is a maximum that a capped step never lands on exactly, so the ordinary
    // return follows every landing and the plan alternates for good.
    Plan forever("60", "20", "5", "100", true);
    EXPECT_EQ(forever.speeds(15), (Speeds{"60", "80", "65", "85", "70", "90", "75", "95", "80",
                                          "100", "85", "100", "85", "100", "85", "100"}));

    Plan deep("30", "60", "1", "60", true);
    EXPECT_EQ(deep.speeds(6), (Speeds{"30", "60", "1", "60", "2", "60", "3"}));
    EXPECT_EQ(deep.window.intervalsSet[2], 60000);

    Plan odd("59", "60", "1", "62", true);
    EXPECT_EQ(odd.speeds(6), (Speeds{"59", "62", "3", "62", "3", "62", "3"}));
}

TEST(TempoProgram, LandingsCountOnlyOnMaximaThatACappedStepHitsExactly)
{
    // The maxima from 60 to 350 at which (max - 1) / 60 + 1 / 60 is not max / 60.
    const std::set<int> inexact{62,  66,  70,  74,  77,  81,  85,  89,  92,  96,  100, 104, 107,
                                111, 115, 119, 124, 132, 139, 147, 154, 162, 169, 177, 184, 192,
                                199, 207, 214, 222, 229, 237, 248, 263, 278, 293, 308, 323, 338};
    for (int max = 60; max <= 350; ++max) {
        // Starting close below the maximum, the skips soon pass it and get capped.
        const std::string start = std::to_string(std::clamp(max - 30, 30, 250));
        const std::string text = std::to_string(max);
        Plan plan(start.c_str(), "60", "40", text.c_str(), true);
        plan.speeds(40);
        EXPECT_EQ(plan.engine.state().skipcount == 0, inexact.count(max) == 1) << "maximum " << max;
    }
}

TEST(TempoProgram, CountersFollowBeatsBarsAndPasses)
{
    FakeWindow window;
    Metronome engine(window);
    engine.Form_Load();
    window.choose(Option::ThreeFour);
    window.box(Box::Length) = "2";
    window.box(Box::Intro) = "1";
    engine.Command2_Click();

    std::string seen;
    for (int tick = 1; tick <= 19; ++tick) {
        engine.Timer1_Timer();
        seen += window.label(StatusLabel::Bar) + "/" + window.label(StatusLabel::Beat) + "/" +
                window.label(StatusLabel::Repeat) + " ";
    }
    EXPECT_EQ(seen,
              "-1/1/1 -1/2/1 -1/3/1 1/1/1 1/2/1 1/3/1 2/1/1 2/2/1 2/3/1 "
              "-1/1/2 -1/2/2 -1/3/2 1/1/2 1/2/2 1/3/2 2/1/2 2/2/2 2/3/2 -1/1/1 ");
    EXPECT_EQ(window.label(StatusLabel::Speed), "65");
    EXPECT_EQ(window.label(StatusLabel::BarTotal), "2");
}

TEST(TempoProgram, WithoutIntroductionThePassStartsOnBarZeroForOneBeat)
{
    FakeWindow window;
    Metronome engine(window);
    engine.Form_Load();
    window.choose(Option::TwoFour);
    window.box(Box::Length) = "2";
    window.box(Box::Intro) = "0";
    window.box(Box::Repeat) = "5";
    engine.Command2_Click();
    std::string bars;
    for (int tick = 1; tick <= 6; ++tick) {
        engine.Timer1_Timer();
        bars += window.label(StatusLabel::Bar) + " ";
    }
    EXPECT_EQ(bars, "1 1 2 2 0 1 ");
}

TEST(TempoProgram, LabelsShowTheRepeatBoxAsItReadsAtTheTick)
{
    FakeWindow window;
    Metronome engine(window);
    engine.Form_Load();
    window.box(Box::Intro) = "5E-1";
    window.box(Box::Length) = "2";
    engine.Command2_Click();
    std::string bars;
    for (int tick = 1; tick <= 12; tick += 4) {
        engine.Timer1_Timer();
        bars += window.label(StatusLabel::Bar) + " ";
        for (int i = 0; i < 3; ++i)
            engine.Timer1_Timer();
    }
    EXPECT_EQ(bars, "-0.5 0.5 1.5 ");

    window.box(Box::Repeat) = "7 times";
    engine.Timer1_Timer();
    EXPECT_EQ(window.label(StatusLabel::RepeatTotal), "7");
    window.box(Box::Repeat) = "many";
    engine.Timer1_Timer();
    EXPECT_EQ(window.label(StatusLabel::RepeatTotal), "0");
    window.box(Box::Repeat) = "1e999";
    engine.Timer1_Timer();
    EXPECT_EQ(window.label(StatusLabel::RepeatTotal), "inf");
    EXPECT_EQ(engine.state().repeattotal, 2);
}

TEST(TempoProgram, ShrinkingTheBarMidRunStartsTheNextBarOnBeatOne)
{
    FakeWindow window;
    Metronome engine(window);
    engine.Form_Load();
    engine.Command2_Click();
    for (int i = 0; i < 4; ++i)
        engine.Timer1_Timer();
    ASSERT_EQ(window.label(StatusLabel::Beat), "4");

    window.choose(Option::TwoFour);
    window.box(Box::Length) = "";
    engine.Command2_Click();  // refused, but 2/4 is taken at once
    ASSERT_EQ(window.messages.size(), 1u);

    std::string seen;
    for (int i = 0; i < 3; ++i) {
        engine.Timer1_Timer();
        seen += window.label(StatusLabel::Bar) + "/" + window.label(StatusLabel::Beat) + " ";
    }
    EXPECT_EQ(seen, "-1/1 -1/2 1/1 ");
}

TEST(TempoProgram, ReturnsRepeatedByASwitchToLinearRestAtOneBeatPerMinute)
{
    Plan plan("30", "60", "1", "60", true);
    plan.speeds(1);  // 30, then the skip to 60; the next step is a return of -59
    plan.window.choose(Option::IncLinear);
    plan.window.box(Box::Length) = "";
    plan.engine.Command2_Click();  // refused: linear mode from now on, the return stays
    ASSERT_EQ(plan.window.messages.size(), 1u);

    EXPECT_EQ(plan.speeds(3), (Speeds{"60", "1", "1", "1"}));
    EXPECT_EQ(plan.window.interval, 60000);
    EXPECT_EQ(plan.engine.state().baserate, 1.0 / 60);
}

// A long run of random presses, option changes and refused STARTs mid-run: whatever
// happens, the interval stays programmable and the counters in their ranges.
TEST(TempoProgram, RandomRunsKeepIntervalAndBeatInRange)
{
    std::mt19937 random(20261207);
    const char* starts[] = {"30", "59", "100", "250", "120.9"};
    const char* maxima[] = {"60", "62", "170", "350", "100"};
    const char* linears[] = {"1", "5", "40", "", "10"};
    const char* skips[] = {"10", "60", "45", "x", "30"};
    FakeWindow window;
    Metronome engine(window);
    engine.Form_Load();
    window.box(Box::Length) = "1";
    window.box(Box::Intro) = "0";
    window.box(Box::Repeat) = "1";
    for (int round = 0; round < 3000; ++round) {
        window.choose(static_cast<Option>(random() % 3));
        window.choose(static_cast<Option>(3 + random() % 2));
        window.box(Box::StartSpeed) = starts[random() % 5];
        window.box(Box::MaxSpeed) = maxima[random() % 5];
        window.box(Box::Linear) = linears[random() % 5];
        window.box(Box::Skip) = skips[random() % 5];
        if (random() % 4 == 0)
            engine.Command3_Click();
        engine.Command2_Click();
        const int ticks = static_cast<int>(random() % 200);
        for (int t = 0; t < ticks; ++t) {
            engine.Timer1_Timer();
            const MetronomeState& s = engine.state();
            if (!s.running)
                continue;
            ASSERT_GE(window.interval, 171);
            ASSERT_LE(window.interval, 60000);
            ASSERT_GE(s.beat, 1);
            ASSERT_LE(s.beat, s.beatsperbar);
        }
    }
}

}  // namespace
}  // namespace tavro
