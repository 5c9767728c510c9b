#include "engine/headless_window.h"
#include "engine/metronome.h"
#include "engine/rounding.h"

#include <gtest/gtest.h>

#include <limits>

namespace tavro {
namespace {

// STOP resets the run flags and the counts of the tempo program, and keeps where the
// run stood: none of this shows until the next START, so only the state tells.
TEST(RunControl, StopResetsTheCountsAndKeepsTheRest)
{
    HeadlessWindow window;
    Metronome engine(window);
    engine.Form_Load();
    window.turnOptionOn(Option::IncSkip);
    window.typeBoxText(Box::Length, "1");
    window.typeBoxText(Box::Intro, "0");
    window.typeBoxText(Box::Repeat, "1");
    window.typeBoxText(Box::MaxSpeed, "90");
    engine.Command2_Click();
    for (int i = 0; i < 15; ++i)
        engine.Timer1_Timer();  // 60, 90 (landing), 65, 90 (landing), ...
    const MetronomeState running = engine.state();
    ASSERT_GT(running.skipcount, 0);
    ASSERT_NE(running.stepphase, 1);
    const auto captions = window.captions();

    engine.Command3_Click();
    engine.Command3_Click();  // twice is the same as once
    const MetronomeState& s = engine.state();
    EXPECT_EQ(engine.runState(), RunState::Stopped);
    EXPECT_EQ(s.repeatcount, 1);
    EXPECT_EQ(s.skipcount, 0);
    EXPECT_EQ(s.stepphase, 1);
    EXPECT_EQ(s.beat, running.beat);
    EXPECT_EQ(s.bar, running.bar);
    EXPECT_EQ(s.baserate, running.baserate);
    EXPECT_EQ(s.stepbpm, running.stepbpm);
    EXPECT_EQ(window.captions(), captions);
}

TEST(Rounding, HalvesGoToTheEvenNeighbourAndIntervalsStayProgrammable)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, double> rounded[] = {
        {937.5, 938},
        {312.5, 312},
        {187.5, 188},
        {-2.5, -2},
        {0.49999999999999994, 0},
        {4503599627370497.0, 4503599627370497.0},
        {inf, inf},
    };
    for (const auto& [value, expected] : rounded)
        EXPECT_EQ(roundHalfEven(value), expected) << value;

    // Rates below one beat per minute, and non-finite ones, rest at 60000 ms.
    const std::pair<double, std::int32_t> intervals[] = {
        {350.0 / 60, 171},
        {320.0 / 60, 188},
        {61.0 / 60, 984},
        {1.0 / 60, 60000},
        {0, 60000},
        {-5, 60000},
        {std::numeric_limits<double>::quiet_NaN(), 60000},
        {inf, 60000},
        {1e300, 1},
    };
    for (const auto& [rate, expected] : intervals)
        EXPECT_EQ(intervalForRate(rate), expected) << rate;
}

}  // namespace
}  // namespace tavro
