#include "engine/metronome.h"
#include "engine/rounding.h"
#include "fake_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavro {
namespace {

using test::FakeWindow;

struct Loaded {
    FakeWindow window;
    Metronome engine{window};
    Loaded() { engine.Form_Load(); }
};

TEST(Start, DefaultsWriteTheRoadOfOneRun)
{
    Loaded m;
    m.engine.Command2_Click();
    const MetronomeState& s = m.engine.state();
    EXPECT_TRUE(m.window.messages.empty());
    EXPECT_EQ(s.piecelength, 4);
    EXPECT_EQ(s.introbars, 2);
    EXPECT_EQ(s.repeattotal, 2);
    EXPECT_EQ(s.startbpm, 60);
    EXPECT_EQ(s.maxbpm, 300);
    EXPECT_EQ(s.linearinc, 5);
    EXPECT_EQ(s.skipinc, 30);
    EXPECT_EQ(s.baserate, 1.0);
    EXPECT_EQ(m.window.intervalsSet, std::vector<std::int32_t>{1000});
    EXPECT_EQ(s.beat, 0);
    EXPECT_EQ(s.bar, -2);
    EXPECT_EQ(s.stepbpm, 5);
    EXPECT_EQ(s.stepphase, 1);
    EXPECT_EQ(m.engine.runState(), RunState::Running);

    m.window.choose(Option::IncSkip);
    m.window.box(Box::Intro) = "0";
    m.engine.Command2_Click();
    EXPECT_EQ(s.stepbpm, 30);
    EXPECT_EQ(s.bar, 0);
    EXPECT_FALSE(s.linearmode);
}

TEST(Start, IntervalsFromStartingSpeedsRoundHalvesToEven)
{
    const std::pair<const char*, std::int32_t> cases[] = {
        {"60", 1000}, {"100", 600}, {"30", 2000}, {"250", 240},
        {"61", 984},  {"64", 938},  {"192", 312},
    };
    for (const auto& [speed, interval] : cases) {
        Loaded m;
        m.window.box(Box::StartSpeed) = speed;
        m.engine.Command2_Click();
        EXPECT_EQ(m.window.interval, interval) << "starting speed " << speed;
    }
}

TEST(Start, EachBoxIsCheckedAgainstItsInclusiveBounds)
{
    struct Case {
        Box box;
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {Box::Length, "1", true},        {Box::Length, "999", true},
        {Box::Length, "0", false},       {Box::Length, "1000", false},
        {Box::Intro, "0", true},         {Box::Intro, "8", true},
        {Box::Intro, "9", false},        {Box::Intro, "-1", false},
        {Box::Repeat, "1", true},        {Box::Repeat, "999", true},
        {Box::Repeat, "", false},        {Box::Repeat, "12abc", false},
        {Box::StartSpeed, "30", true},   {Box::StartSpeed, "250", true},
        {Box::StartSpeed, "29", false},  {Box::StartSpeed, "251", false},
        {Box::MaxSpeed, "60", true},     {Box::MaxSpeed, "350", true},
        {Box::MaxSpeed, "351", false},   {Box::Linear, "1", true},
        {Box::Linear, "0", false},       {Box::Linear, "41", false},
        {Box::Skip, "10", true},         {Box::Skip, "60", true},
        {Box::Skip, "9", false},         {Box::Skip, "61", false},
        {Box::Length, "  7  ", true},    {Box::Length, "5E-1", false},
        {Box::Intro, "5E-1", true},      {Box::Length, "1e999", false},
        {Box::Repeat, "-1e999", false},  {Box::Length, "1 2", false},
    };
    for (const Case& c : cases) {
        Loaded m;
        if (c.box == Box::StartSpeed)
            m.window.box(Box::MaxSpeed) = "350";
        if (c.box == Box::MaxSpeed)
            m.window.box(Box::StartSpeed) = "30";
        if (c.box == Box::Linear)
            m.window.box(Box::Skip) = "60";
        if (c.box == Box::Skip)
            m.window.box(Box::Linear) = "1";
        m.window.box(c.box) = c.text;
        m.engine.Command2_Click();
        EXPECT_EQ(m.window.messages.empty(), c.accepted)
            << "box " << static_cast<int>(c.box) << " text \"" << c.text << '"';
    }
}

TEST(Start, CleaningCutsAtTheFirstFullStopAndRewritesOnlyThoseBoxes)
{
    struct Recorder : FakeWindow {
        std::vector<Box> written;
        void setBoxText(Box b, const std::string& t) override
        {
            written.push_back(b);
            FakeWindow::setBoxText(b, t);
        }
    };
    Recorder window;
    Metronome engine(window);
    engine.Form_Load();
    window.box(Box::Length) = "12.7";
    window.box(Box::Intro) = "1.2.3";
    window.box(Box::Repeat) = " 3 ";
    window.box(Box::Linear) = ".5x";
    engine.Command2_Click();

    EXPECT_EQ(window.written, (std::vector<Box>{Box::Length, Box::Intro, Box::Linear}));
    EXPECT_EQ(window.box(Box::Length), "12");
    EXPECT_EQ(window.box(Box::Intro), "1");
    EXPECT_EQ(window.box(Box::Repeat), " 3 ");
    EXPECT_EQ(window.box(Box::Linear), "");
    EXPECT_EQ(window.messages,
              std::vector<std::string>{"The linear speed increase must be between 1 and 40 beats per minute"});
}

TEST(Start, OneBoxShowsTheLastFailingCheck)
{
    struct Case {
        std::vector<std::pair<Box, const char*>> texts;
        const char* message;
    };
    const Case cases[] = {
        {{{Box::Length, ""}, {Box::Skip, "5"}},
         "The skip speed increase must be between 10 and 60 beats per minute"},
        {{{Box::Intro, "."}},
         "The length of the intoduction must be a number of bars between 0 and 8"},
        // The pair sees the fractions, the boxes are then cleaned to 100 each.
        {{{Box::StartSpeed, "100.9"}, {Box::MaxSpeed, "100.5"}},
         "The maximum speed must be larger than the starting speed"},
        // An empty maximum fails the pair first, then its own range, which wins.
        {{{Box::MaxSpeed, ""}}, "The maximum speed must be between 60 and 350 beats per minute"},
        {{{Box::StartSpeed, "120"}, {Box::MaxSpeed, "120"}},
         "The maximum speed must be larger than the starting speed"},
        {{{Box::Linear, "20"}, {Box::Skip, "20"}},
         "The skip speed increase must be larger than the linear speen increase"},
        {{{Box::Linear, "40"}, {Box::Skip, "30"}},
         "The skip speed increase must be larger than the linear speen increase"},
    };
    for (const Case& c : cases) {
        Loaded m;
        for (const auto& [box, text] : c.texts)
            m.window.box(box) = text;
        m.engine.Command2_Click();
        ASSERT_EQ(m.window.messages.size(), 1u) << c.message;
        EXPECT_EQ(m.window.messages[0], c.message);
        EXPECT_EQ(m.window.titles[0], "Houston - We have a Problem");
        EXPECT_EQ(m.engine.runState(), RunState::Stopped);
    }
}

TEST(Start, FractionsThatCleanToEqualSpeedsStillStart)
{
    Loaded m;
    m.window.box(Box::StartSpeed) = "100.2";
    m.window.box(Box::MaxSpeed) = "100.7";
    m.engine.Command2_Click();
    EXPECT_TRUE(m.window.messages.empty());
    EXPECT_EQ(m.engine.state().startbpm, 100);
    EXPECT_EQ(m.engine.state().maxbpm, 100);
}

TEST(Start, ARefusedPressKeepsTheRunButTakesTheChosenOptions)
{
    Loaded m;
    m.engine.Command2_Click();
    for (int i = 0; i < 5; ++i)
        m.engine.Timer1_Timer();
    const MetronomeState before = m.engine.state();

    m.window.choose(Option::ThreeFour);
    m.window.choose(Option::IncSkip);
    m.window.box(Box::StartSpeed) = "200";
    m.window.box(Box::Length) = "";
    m.engine.Command2_Click();

    const MetronomeState& s = m.engine.state();
    EXPECT_EQ(m.window.messages.size(), 1u);
    EXPECT_EQ(m.window.intervalsSet.size(), 1u);
    EXPECT_EQ(s.beatsperbar, 3);
    EXPECT_FALSE(s.linearmode);
    EXPECT_EQ(s.startbpm, before.startbpm);
    EXPECT_EQ(s.baserate, before.baserate);
    EXPECT_EQ(s.beat, before.beat);
    EXPECT_EQ(s.bar, before.bar);
    EXPECT_EQ(m.engine.runState(), RunState::Running);
}

TEST(Rounding, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(roundHalfEven(937.5), 938);
    EXPECT_EQ(roundHalfEven(312.5), 312);
    EXPECT_EQ(roundHalfEven(187.5), 188);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(0.49999999999999994), 0);
    EXPECT_EQ(roundHalfEven(4503599627370497.0), 4503599627370497.0);
    EXPECT_TRUE(std::isinf(roundHalfEven(std::numeric_limits<double>::infinity())));

    EXPECT_EQ(intervalForRate(350.0 / 60), 171);
    EXPECT_EQ(intervalForRate(320.0 / 60), 188);
    EXPECT_EQ(intervalForRate(1.0 / 60), 60000);
    EXPECT_EQ(intervalForRate(0), 60000);
    EXPECT_EQ(intervalForRate(-5), 60000);
    EXPECT_EQ(intervalForRate(std::numeric_limits<double>::quiet_NaN()), 60000);
    EXPECT_EQ(intervalForRate(std::numeric_limits<double>::infinity()), 60000);
    EXPECT_EQ(intervalForRate(1e300), 1);
}

}  // namespace
}  // namespace tavro
