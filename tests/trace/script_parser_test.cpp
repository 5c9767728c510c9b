#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "trace_quote.h"
#include "trace_script.h"

namespace tavro::trace {
namespace {

struct GoodLine {
    std::string line;
    Command expected;
};

void PrintTo(const GoodLine& c, std::ostream* os) { *os << quoteText(c.line); }

class GoodLineTest : public ::testing::TestWithParam<GoodLine> {};

TEST_P(GoodLineTest, ReadsAsOneCommand) {
    const GoodLine& c = GetParam();
    const ParsedScript parsed = parseScript(c.line);
    ASSERT_FALSE(parsed.error) << parsed.error->reason;
    ASSERT_EQ(parsed.commands.size(), 1u);
    EXPECT_TRUE(parsed.commands[0] == c.expected);
}

INSTANTIATE_TEST_SUITE_P(Commands, GoodLineTest, ::testing::Values(
    GoodLine{"start", ClickButton{Button::Start}},
    GoodLine{"stop", ClickButton{Button::Stop}},
    GoodLine{"pause", ClickButton{Button::Pause}},
    GoodLine{"quit", ClickButton{Button::Quit}},
    GoodLine{"option fourfour", TurnOptionOn{Option::FourFour}},
    GoodLine{"option threefour", TurnOptionOn{Option::ThreeFour}},
    GoodLine{"option twofour", TurnOptionOn{Option::TwoFour}},
    GoodLine{"option inclinear", TurnOptionOn{Option::IncLinear}},
    GoodLine{"option incskip", TurnOptionOn{Option::IncSkip}},
    GoodLine{"volume high", ChooseVolume{VolumeItem::High}},
    GoodLine{"volume medium", ChooseVolume{VolumeItem::Medium}},
    GoodLine{"volume low", ChooseVolume{VolumeItem::Low}},
    GoodLine{"text length \"12.7\"", TypeText{Box::Length, "12.7"}},
    GoodLine{"text intro \"\"", TypeText{Box::Intro, ""}},
    GoodLine{"text repeat \"2\"", TypeText{Box::Repeat, "2"}},
    GoodLine{"text startspeed \"60\"", TypeText{Box::StartSpeed, "60"}},
    GoodLine{"text maxspeed \"300\"", TypeText{Box::MaxSpeed, "300"}},
    GoodLine{"text linear \"5\"", TypeText{Box::Linear, "5"}},
    GoodLine{"text skip \"30\"", TypeText{Box::Skip, "30"}}));

INSTANTIATE_TEST_SUITE_P(TickCounts, GoodLineTest, ::testing::Values(
    GoodLine{"tick", TimerExpiries{1}},
    GoodLine{"tick 1", TimerExpiries{1}},
    GoodLine{"tick 007", TimerExpiries{7}},
    GoodLine{"tick 100000000", TimerExpiries{100000000}},
    GoodLine{"tick 0000000000000000000000100000000", TimerExpiries{100000000}}));

INSTANTIATE_TEST_SUITE_P(SpacesAndLineEnds, GoodLineTest, ::testing::Values(
    GoodLine{"   tick    3   ", TimerExpiries{3}},
    GoodLine{"tick 3\r", TimerExpiries{3}},
    GoodLine{"  start  \r", ClickButton{Button::Start}},
    GoodLine{"text   linear    \"5\"   ", TypeText{Box::Linear, "5"}},
    GoodLine{"text skip \"30\"\r", TypeText{Box::Skip, "30"}}));

INSTANTIATE_TEST_SUITE_P(QuotedValues, GoodLineTest, ::testing::Values(
    GoodLine{R"(text skip "a\\b\"c\td\ne\rf")", TypeText{Box::Skip, "a\\b\"c\td\ne\rf"}},
    GoodLine{"text repeat \"a\tb\"", TypeText{Box::Repeat, "a\tb"}},
    GoodLine{"text repeat \"a\rb\"\r", TypeText{Box::Repeat, "a\rb"}},
    GoodLine{"text repeat \"  # not a comment \"", TypeText{Box::Repeat, "  # not a comment "}},
    GoodLine{"text length \"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"",
             TypeText{Box::Length, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"}},
    GoodLine{"text length \"\\\\\"", TypeText{Box::Length, "\\"}},
    GoodLine{"text length \"tick 5\"", TypeText{Box::Length, "tick 5"}}));

struct BadLine {
    std::string line;
    std::string reasonPart;  // a word the reason must contain
};

void PrintTo(const BadLine& c, std::ostream* os) { *os << quoteText(c.line); }

class BadLineTest : public ::testing::TestWithParam<BadLine> {};

TEST_P(BadLineTest, IsRefusedOnLineOne) {
    const BadLine& c = GetParam();
    const ParsedScript parsed = parseScript(c.line);
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, 1u);
    EXPECT_NE(parsed.error->reason.find(c.reasonPart), std::string::npos) << parsed.error->reason;
    EXPECT_EQ(parsed.error->reason.find('\n'), std::string::npos);
    EXPECT_TRUE(parsed.commands.empty());
}

INSTANTIATE_TEST_SUITE_P(ControlCharacters, BadLineTest, ::testing::Values(
    BadLine{"tick\t3", "tab"},
    BadLine{"\ttick", "tab"},
    BadLine{"tick\t", "tab"},
    BadLine{"tick\r\r", "carriage return"},
    BadLine{"ti\rck", "carriage return"},
    BadLine{"tick\v", "control"},
    BadLine{"tick\f3", "control"},
    BadLine{std::string("tick\0", 5), "control"},
    BadLine{"tick\xC2\xA0" "3", "non-ASCII"}));

INSTANTIATE_TEST_SUITE_P(UnknownWords, BadLineTest, ::testing::Values(
    BadLine{"Tick", "unknown command"},
    BadLine{"START", "unknown command"},
    BadLine{"begin", "unknown command"},
    BadLine{"texts length \"1\"", "unknown command"},
    BadLine{"text Length \"1\"", "unknown box"},
    BadLine{"text tempo \"1\"", "unknown box"},
    BadLine{"option fivefour", "unknown option"},
    BadLine{"option FourFour", "unknown option"},
    BadLine{"volume loud", "unknown volume"},
    BadLine{"volume High", "unknown volume"}));

INSTANTIATE_TEST_SUITE_P(ExtraOrMissingWords, BadLineTest, ::testing::Values(
    BadLine{"start now", "start"},
    BadLine{"quit 1", "quit"},
    BadLine{"stop stop", "stop"},
    BadLine{"pause \"x\"", "pause"},
    BadLine{"option", "option NAME"},
    BadLine{"option fourfour twofour", "option NAME"},
    BadLine{"volume", "volume"},
    BadLine{"volume low high", "volume"},
    BadLine{"text", "text BOX"},
    BadLine{"text length", "text BOX"},
    BadLine{"text length \"1\" \"2\"", "text BOX"},
    BadLine{"tick 3 4", "tick"}));

INSTANTIATE_TEST_SUITE_P(TickCounts, BadLineTest, ::testing::Values(
    BadLine{"tick 0", "between 1 and 100000000"},
    BadLine{"tick 000", "between 1 and 100000000"},
    BadLine{"tick 100000001", "between 1 and 100000000"},
    BadLine{"tick 4294967297", "between 1 and 100000000"},
    BadLine{"tick " + std::string(1000, '9'), "between 1 and 100000000"},
    BadLine{"tick -1", "digits"},
    BadLine{"tick +1", "digits"},
    BadLine{"tick 1.5", "digits"},
    BadLine{"tick 1e3", "digits"},
    BadLine{"tick x", "digits"},
    BadLine{"tick \"3\"", "quoted"}));

INSTANTIATE_TEST_SUITE_P(Quotes, BadLineTest, ::testing::Values(
    BadLine{"text length 12", "double quotes"},
    BadLine{"text \"length\" \"1\"", "quoted"},
    BadLine{"\"start\"", "quoted"},
    BadLine{"text length \"abc", "not closed"},
    BadLine{"text length \"abc\\\"", "not closed"},
    BadLine{"text length \"a\\x\"", "backslash"},
    BadLine{"text length \"a\\'\"", "backslash"},
    BadLine{"text length \"a\\", "backslash"},
    BadLine{"text length \"1\"x", "closing quote"},
    BadLine{"text length \"1\"\t", "closing quote"},
    BadLine{"text length\"1\"", "quote inside a word"},
    BadLine{"text length \"1\"\"2\"", "closing quote"}));

INSTANTIATE_TEST_SUITE_P(InvalidUtf8, BadLineTest, ::testing::Values(
    BadLine{"text length \"\xC0\xAF\"", "UTF-8"},          // overlong '/'
    BadLine{"text length \"\xE0\x80\xAF\"", "UTF-8"},      // overlong, 3 bytes
    BadLine{"text length \"\xF0\x80\x80\xAF\"", "UTF-8"},  // overlong, 4 bytes
    BadLine{"text length \"\xED\xA0\x80\"", "UTF-8"},      // surrogate D800
    BadLine{"text length \"\xF4\x90\x80\x80\"", "UTF-8"},  // U+110000
    BadLine{"text length \"\xF5\x80\x80\x80\"", "UTF-8"},
    BadLine{"text length \"\x80\"", "UTF-8"},              // lone continuation
    BadLine{"text length \"\xE2\x82\"", "UTF-8"},          // cut short
    BadLine{"text length \"\xFF\"", "UTF-8"},
    BadLine{"# a comment \xFE", "UTF-8"},
    BadLine{"tick \xE2\x82", "UTF-8"}));

struct Utf8Case {
    std::string text;
    std::optional<std::size_t> firstBad;
};

void PrintTo(const Utf8Case& c, std::ostream* os) { *os << quoteText(c.text); }

class Utf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, FindsTheFirstIllFormedByte) {
    EXPECT_EQ(firstInvalidUtf8(GetParam().text), GetParam().firstBad);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, Utf8Test, ::testing::Values(
    Utf8Case{"", std::nullopt},
    Utf8Case{"\x7F", std::nullopt},
    Utf8Case{"\xC2\x80", std::nullopt},              // U+0080
    Utf8Case{"\xDF\xBF", std::nullopt},              // U+07FF
    Utf8Case{"\xE0\xA0\x80", std::nullopt},          // U+0800
    Utf8Case{"\xED\x9F\xBF", std::nullopt},          // U+D7FF
    Utf8Case{"\xEE\x80\x80", std::nullopt},          // U+E000
    Utf8Case{"\xEF\xBF\xBF", std::nullopt},          // U+FFFF
    Utf8Case{"\xF0\x90\x80\x80", std::nullopt},      // U+10000
    Utf8Case{"\xF4\x8F\xBF\xBF", std::nullopt},      // U+10FFFF
    Utf8Case{"ab\xC1\xBF", 2},                       // overlong U+007F
    Utf8Case{"a\xE0\x9F\xBF", 1},                    // overlong U+07FF
    Utf8Case{"\xED\xBF\xBF", 0},                     // surrogate DFFF
    Utf8Case{"\xF0\x8F\xBF\xBF", 0},                 // overlong U+FFFF
    Utf8Case{"\xC2\x80\xC2", 2},                     // cut at the end
    Utf8Case{"\xE2\x28\xA1", 0},                     // bad second byte
    Utf8Case{"\xE2\x82\x28", 0},                     // bad third byte
    Utf8Case{"\xF0\x9F\x98", 0}));

TEST(ScriptTest, SkipsBlankAndCommentLines) {
    const ParsedScript parsed =
        parseScript("# heading\n\n   \n  # indented, with a tab\there\r\n#\ntick 2\n\n");
    ASSERT_FALSE(parsed.error);
    ASSERT_EQ(parsed.commands.size(), 1u);
    EXPECT_TRUE(parsed.commands[0] == Command{TimerExpiries{2}});
}

TEST(ScriptTest, EmptyScriptHasNoCommands) {
    const ParsedScript parsed = parseScript("");
    EXPECT_FALSE(parsed.error);
    EXPECT_TRUE(parsed.commands.empty());
}

TEST(ScriptTest, KeepsCommandsInOrderWithCrLfLines) {
    const ParsedScript parsed = parseScript("text length \"8\"\r\nstart\r\ntick 3\r\nquit\r\n");
    ASSERT_FALSE(parsed.error);
    const std::vector<Command> expected{TypeText{Box::Length, "8"}, ClickButton{Button::Start},
                                        TimerExpiries{3}, ClickButton{Button::Quit}};
    EXPECT_TRUE(parsed.commands == expected);
}

TEST(ScriptTest, NamesTheFirstBadLineCountingEveryLine) {
    const ParsedScript parsed = parseScript("# one\n\nstart\r\ntick 0\nbogus\n");
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, 4u);
    EXPECT_TRUE(parsed.commands.empty());
}

TEST(ScriptTest, LinesAfterQuitAreStillChecked) {
    const ParsedScript parsed = parseScript("start\nquit\ntick\nvolume loud\n");
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, 4u);
}

TEST(ScriptTest, LinesAfterQuitAreKept) {
    const ParsedScript parsed = parseScript("quit\ntick\n");
    ASSERT_FALSE(parsed.error);
    EXPECT_EQ(parsed.commands.size(), 2u);
}

TEST(ScriptTest, ALineFeedInsideQuotesEndsTheLine) {
    // A script line cannot hold a raw line feed: the quote is left open.
    const ParsedScript parsed = parseScript("text length \"a\nb\"\n");
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, 1u);
}

TEST(ScriptTest, ALineFeedSplittingACharacterMakesItInvalid) {
    const ParsedScript parsed = parseScript("tick\ntext length \"\xE2\n\x82\xAC\"\n");
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, 2u);
    EXPECT_NE(parsed.error->reason.find("UTF-8"), std::string::npos);
}

}  // namespace
}  // namespace tavro::trace
