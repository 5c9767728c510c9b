#include "engine/metronome.h"
#include "fake_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

namespace tavro {
namespace {

using test::FakeWindow;

// A skip plan whose speed steps come every second beat: 2/4, one bar, no
// introduction, one pass per speed.
void startSkipPlan(FakeWindow& window, Metronome& engine, int start, int max)
{
    engine.Form_Load();
    window.choose(Option::TwoFour);
    window.choose(Option::IncSkip);
    window.boxes = {"1", "0", "1", std::to_string(start), std::to_string(max), "40", "60"};
    engine.Command2_Click();
    ASSERT_EQ(window.messages, 0);
}

// A landing counts only when the base equals max / 60 exactly, which a capped step,
// (max - 1) / 60 + 1 / 60, misses for these maxima: there the ordinary return follows
// every landing, and the speed alternates for good.
TEST(TempoProgram, LandingsCountOnlyOnMaximaThatACappedStepHitsExactly)
{
    const std::set<int> inexact{62,  66,  70,  74,  77,  81,  85,  89,  92,  96,  100, 104, 107,
                                111, 115, 119, 124, 132, 139, 147, 154, 162, 169, 177, 184, 192,
                                199, 207, 214, 222, 229, 237, 248, 263, 278, 293, 308, 323, 338};
    for (int max = 60; max <= 350; ++max) {
        FakeWindow window;
        Metronome engine(window);
        // Starting close below the maximum, the skips soon pass it and get capped.
        startSkipPlan(window, engine, std::clamp(max - 30, 30, 250), max);
        for (int tick = 0; tick < 81; ++tick)
            engine.Timer1_Timer();
        EXPECT_EQ(engine.state().skipcount == 0, inexact.count(max) == 1) << "maximum " << max;
    }
}

// A long run of random presses, option changes and refused STARTs mid-run: whatever
// happens, the interval stays programmable and the beat within its bar.
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
