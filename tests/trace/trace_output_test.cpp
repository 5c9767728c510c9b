#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "headless_window.h"
#include "trace_quote.h"
#include "trace_runner.h"
#include "trace_script.h"

namespace tavro::trace {
namespace {

struct QuoteCase {
    std::string text;
    std::string written;
};

void PrintTo(const QuoteCase& c, std::ostream* os) { *os << c.written; }

class QuoteTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteTest, EscapesOnlyWhatWouldBreakTheLine) {
    EXPECT_EQ(quoteText(GetParam().text), GetParam().written);
}

TEST_P(QuoteTest, ReadsBackAsTheSameText) {
    const ParsedScript parsed = parseScript("text length " + quoteText(GetParam().text));
    ASSERT_FALSE(parsed.error) << parsed.error->reason;
    ASSERT_EQ(parsed.commands.size(), 1u);
    const Command expected = TypeText{Box::Length, GetParam().text};
    EXPECT_TRUE(parsed.commands[0] == expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, QuoteTest, ::testing::Values(
    QuoteCase{"", R"("")"},
    QuoteCase{"12", R"("12")"},
    QuoteCase{"a\\b", R"("a\\b")"},
    QuoteCase{"say \"hi\"", R"("say \"hi\"")"},
    QuoteCase{"line one\rline two\r\rend", R"("line one\rline two\r\rend")"},
    QuoteCase{"tab\there\nlf", R"("tab\there\nlf")"},
    QuoteCase{"\\n is not a line feed", R"("\\n is not a line feed")"},
    QuoteCase{"caf\xC3\xA9 \x01", "\"caf\xC3\xA9 \x01\""}));

class HeadlessWindowTest : public ::testing::Test {
protected:
    std::ostringstream out;
    HeadlessWindow window{out};
};

TEST_F(HeadlessWindowTest, StartsWithTheDesignSettings) {
    EXPECT_EQ(window.boxText(Box::Length), "4");
    EXPECT_EQ(window.boxText(Box::Intro), "2");
    EXPECT_EQ(window.boxText(Box::Repeat), "2");
    EXPECT_EQ(window.boxText(Box::StartSpeed), "60");
    EXPECT_EQ(window.boxText(Box::MaxSpeed), "300");
    EXPECT_EQ(window.boxText(Box::Linear), "5");
    EXPECT_EQ(window.boxText(Box::Skip), "30");
    EXPECT_TRUE(window.optionOn(Option::FourFour));
    EXPECT_FALSE(window.optionOn(Option::ThreeFour));
    EXPECT_FALSE(window.optionOn(Option::TwoFour));
    EXPECT_TRUE(window.optionOn(Option::IncLinear));
    EXPECT_FALSE(window.optionOn(Option::IncSkip));
    EXPECT_TRUE(window.volumeChecked(VolumeItem::Medium));
    EXPECT_FALSE(window.volumeChecked(VolumeItem::High));
    EXPECT_EQ(window.timerInterval(), 1000);
    EXPECT_EQ(window.caption(StatusLabel::Bar), "-2");
    EXPECT_EQ(out.str(), "");
}

TEST_F(HeadlessWindowTest, AnOptionTurnsOffOnlyTheOthersOfItsFrame) {
    window.turnOptionOn(Option::TwoFour);
    EXPECT_FALSE(window.optionOn(Option::FourFour));
    EXPECT_TRUE(window.optionOn(Option::TwoFour));
    EXPECT_TRUE(window.optionOn(Option::IncLinear));

    window.turnOptionOn(Option::IncSkip);
    EXPECT_FALSE(window.optionOn(Option::IncLinear));
    EXPECT_TRUE(window.optionOn(Option::IncSkip));
    EXPECT_TRUE(window.optionOn(Option::TwoFour));

    window.turnOptionOn(Option::ThreeFour);
    EXPECT_FALSE(window.optionOn(Option::TwoFour));
    EXPECT_TRUE(window.optionOn(Option::ThreeFour));
    EXPECT_EQ(out.str(), "");
}

TEST_F(HeadlessWindowTest, TracesTheEngineEffectsButNotTheUsersTyping) {
    window.typeBoxText(Box::Skip, "typed");
    EXPECT_EQ(window.boxText(Box::Skip), "typed");
    window.setBoxText(Box::MaxSpeed, "1\"0");
    window.setTimerInterval(1000);
    window.setTimerInterval(1000);
    window.messageBox("first\rsecond", "Houston - We have a Problem");
    window.setLabelCaption(StatusLabel::Speed, "65");
    window.setVolumeChecked(VolumeItem::Low, true);
    window.beep();
    window.beep();
    window.endProgram();

    EXPECT_EQ(out.str(),
              "text maxspeed \"1\\\"0\"\n"
              "interval 1000\n"
              "interval 1000\n"
              "message \"first\\rsecond\" title \"Houston - We have a Problem\"\n"
              "quit\n");
    EXPECT_EQ(window.boxText(Box::MaxSpeed), "1\"0");
    EXPECT_EQ(window.caption(StatusLabel::Speed), "65");
    EXPECT_TRUE(window.volumeChecked(VolumeItem::Low));
    EXPECT_EQ(window.beepsSounded(), 2u);
    EXPECT_TRUE(window.programEnded());
}

struct TraceRun {
    int status;
    std::string out;
    std::string err;
};

TraceRun run(const std::string& script) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = runTraceScript(script, out, err);
    return {status, out.str(), err.str()};
}

TEST(RunTraceScriptTest, PlaysTheFormatExampleExactly) {
    const TraceRun r = run(
        "text length \"12.7\"\n"
        "option threefour\n"
        "start\n"
        "tick 2\n"
        "pause\n"
        "pause\n"
        "tick\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "text length \"12\"\n"
              "interval 1000\n"
              "tick 1 speed 60 bar -2 of 12 repeat 1 of 2 beat 1 beeps 8\n"
              "tick 2 speed 60 bar -2 of 12 repeat 1 of 2 beat 2 beeps 8\n"
              "tick 3 speed 60 bar -2 of 12 repeat 1 of 2 beat 3 beeps 8\n");
}

TEST(RunTraceScriptTest, ABadScriptRunsNothingAndNamesItsLine) {
    const TraceRun r = run("start\ntick 5\nquit\n\ntick\tx\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "metronome-trace: line 5: a tab outside quotes\n");
}

TEST(RunTraceScriptTest, IdleExpiriesCountButPrintNothing) {
    const TraceRun r = run("tick 5\nstart\ntick\npause\ntick 100000000\npause\ntick\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "interval 1000\n"
              "tick 6 speed 60 bar -2 of 4 repeat 1 of 2 beat 1 beeps 8\n"
              "tick 100000007 speed 60 bar -2 of 4 repeat 1 of 2 beat 2 beeps 8\n");
}

TEST(RunTraceScriptTest, CountsExpiriesBeyondThirtyTwoBits) {
    std::string script;
    for (int i = 0; i < 43; ++i) script += "tick 100000000\n";
    script += "start\ntick\n";
    const TraceRun r = run(script);
    EXPECT_EQ(r.out,
              "interval 1000\n"
              "tick 4300000001 speed 60 bar -2 of 4 repeat 1 of 2 beat 1 beeps 8\n");
}

TEST(RunTraceScriptTest, QuitEndsThePlay) {
    const TraceRun r = run("start\ntick\nquit\ntick 3\nstart\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "interval 1000\n"
              "tick 1 speed 60 bar -2 of 4 repeat 1 of 2 beat 1 beeps 8\n"
              "quit\n");
}

TEST(RunTraceScriptTest, BeepsAreCountedPerTick) {
    const TraceRun r = run("start\nvolume high\ntick\nvolume low\ntick\n");
    EXPECT_NE(r.out.find(" beat 1 beeps 15\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" beat 2 beeps 2\n"), std::string::npos) << r.out;
}

TEST(TracePlayerTest, TheScriptsTextCommandIsSilent) {
    std::ostringstream out;
    TracePlayer player(out);
    EXPECT_TRUE(player.play(TypeText{Box::Intro, "7.5"}));
    EXPECT_TRUE(player.play(TurnOptionOn{Option::IncSkip}));
    EXPECT_TRUE(player.play(ChooseVolume{VolumeItem::Low}));
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(player.window().boxText(Box::Intro), "7.5");
    EXPECT_TRUE(player.window().volumeChecked(VolumeItem::Low));

    EXPECT_TRUE(player.play(ClickButton{Button::Start}));
    EXPECT_EQ(out.str(), "text intro \"7\"\ninterval 1000\n");
    EXPECT_FALSE(player.play(ClickButton{Button::Quit}));
}

}  // namespace
}  // namespace tavro::trace
