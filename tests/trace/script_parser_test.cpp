#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "trace_quote.h"
#include "trace_script.h"

namespace tavro::trace {
namespace {

using std::string;

TEST(ScriptLine, GoodLinesReadAsOneCommand)
{
    const std::vector<std::pair<string, Command>> cases = {
        {"start", ClickButton{Button::Start}},
        {"stop", ClickButton{Button::Stop}},
        {"pause", ClickButton{Button::Pause}},
        {"quit", ClickButton{Button::Quit}},
        {"option fourfour", TurnOptionOn{Option::FourFour}},
        {"volume medium", ChooseVolume{VolumeItem::Medium}},
        {"text length \"12.7\"", TypeText{Box::Length, "12.7"}},
        {"text intro \"\"", TypeText{Box::Intro, ""}},
        {"tick", TimerExpiries{1}},
        {"tick 007", TimerExpiries{7}},
        {"tick 100000000", TimerExpiries{100000000}},
        {"tick 0000000000000000000000100000000", TimerExpiries{100000000}},
        // Spaces around and between words, and a CR LF line end.
        {"   tick    3   ", TimerExpiries{3}},
        {"  start  \r", ClickButton{Button::Start}},
        {"text   linear    \"5\"   ", TypeText{Box::Linear, "5"}},
        // Inside quotes: the escapes, raw tabs and CRs, what looks like a comment or a
        // command, and any UTF-8.
        {R"(text skip "a\\b\"c\td\ne\rf")", TypeText{Box::Skip, "a\\b\"c\td\ne\rf"}},
        {"text repeat \"a\tb\"", TypeText{Box::Repeat, "a\tb"}},
        {"text repeat \"a\rb\"\r", TypeText{Box::Repeat, "a\rb"}},
        {"text repeat \"  # not a comment \"", TypeText{Box::Repeat, "  # not a comment "}},
        {"text length \"tick 5\"", TypeText{Box::Length, "tick 5"}},
        {"text length \"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"",
         TypeText{Box::Length, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"}},
    };
    for (const auto& [line, expected] : cases) {
        const ParsedScript parsed = parseScript(line);
        ASSERT_FALSE(parsed.error) << quoteText(line) << ": " << parsed.error->reason;
        ASSERT_EQ(parsed.commands.size(), 1u) << quoteText(line);
        EXPECT_TRUE(parsed.commands[0] == expected) << quoteText(line);
    }
}

TEST(ScriptLine, BadLinesAreRefusedWithAReason)
{
    const std::vector<std::pair<string, string>> cases = {
        // line, a word of the reason
        {"tick\t3", "tab"},
        {"tick\r\r", "carriage return"},
        {"ti\rck", "carriage return"},
        {"tick\v", "control"},
        {string("tick\0", 5), "control"},
        {"tick\xC2\xA0"
         "3",
         "non-ASCII"},
        {"Tick", "unknown command"},
        {"texts length \"1\"", "unknown command"},
        {"text Length \"1\"", "unknown box"},
        {"option fivefour", "unknown option"},
        {"volume loud", "unknown volume"},
        {"start now", "start"},
        {"pause \"x\"", "pause"},
        {"option", "option NAME"},
        {"option fourfour twofour", "option NAME"},
        {"volume", "volume"},
        {"text length", "text BOX"},
        {"text length \"1\" \"2\"", "text BOX"},
        {"tick 3 4", "tick"},
        {"tick 0", "between 1 and 100000000"},
        {"tick 100000001", "between 1 and 100000000"},
        {"tick 4294967297", "between 1 and 100000000"},
        {"tick " + string(1000, '9'), "between 1 and 100000000"},
        {"tick -1", "digits"},
        {"tick 1.5", "digits"},
        {"tick \"3\"", "quoted"},
        {"text length 12", "double quotes"},
        {"text \"length\" \"1\"", "quoted"},
        {"text length \"abc", "not closed"},
        {"text length \"abc\\\"", "not closed"},
        {"text length \"a\nb\"", "not closed"},  // a line feed ends the line
        {"text length \"a\\x\"", "backslash"},
        {"text length \"a\\", "backslash"},
        {"text length \"1\"x", "closing quote"},
        {"text length\"1\"", "quote inside a word"},
        {"text length \"\xC0\xAF\"", "UTF-8"},
        {"# a comment \xFE", "UTF-8"},
        {"tick \xE2\x82", "UTF-8"},
    };
    for (const auto& [line, reasonPart] : cases) {
        const ParsedScript parsed = parseScript(line);
        ASSERT_TRUE(parsed.error) << quoteText(line);
        EXPECT_EQ(parsed.error->line, 1u) << quoteText(line);
        EXPECT_NE(parsed.error->reason.find(reasonPart), string::npos)
            << quoteText(line) << ": " << parsed.error->reason;
        EXPECT_EQ(parsed.error->reason.find('\n'), string::npos);
        EXPECT_TRUE(parsed.commands.empty());
    }
}

TEST(ScriptLine, FindsTheFirstIllFormedUtf8Byte)
{
    const std::vector<std::pair<string, std::optional<std::size_t>>> cases = {
        {"", std::nullopt},
        {"\x7F", std::nullopt},
        {"\xC2\x80", std::nullopt},
        {"\xDF\xBF", std::nullopt},
        {"\xE0\xA0\x80", std::nullopt},
        {"\xED\x9F\xBF", std::nullopt},
        {"\xEE\x80\x80", std::nullopt},
        {"\xEF\xBF\xBF", std::nullopt},
        {"\xF0\x90\x80\x80", std::nullopt},
        {"\xF4\x8F\xBF\xBF", std::nullopt},  // U+10FFFF
        {"ab\xC1\xBF", 2},                   // overlong U+007F
        {"a\xE0\x9F\xBF", 1},                // overlong U+07FF
        {"\xF0\x8F\xBF\xBF", 0},             // overlong U+FFFF
        {"\xED\xA0\x80", 0},                 // surrogate D800
        {"\xF4\x90\x80\x80", 0},             // U+110000
        {"\xF5\x80\x80\x80", 0},
        {"\xFF", 0},
        {"a\x80", 1},         // lone continuation
        {"\xC2\x80\xC2", 2},  // cut at the end
        {"\xE2\x28\xA1", 0},
        {"\xE2\x82\x28", 0},
        {"\xF0\x9F\x98", 0},
    };
    for (const auto& [text, firstBad] : cases)
        EXPECT_EQ(firstInvalidUtf8(text), firstBad) << quoteText(text);
}

TEST(Script, KeepsCommandsInOrderAndNamesTheFirstBadLine)
{
    ParsedScript parsed =
        parseScript("# heading\n\n   \n  # indented\there\r\ntext length \"8\"\r\nstart\n"
                    "tick 3\r\nquit\ntick\n");
    ASSERT_FALSE(parsed.error) << parsed.error->reason;
    const std::vector<Command> expected{TypeText{Box::Length, "8"}, ClickButton{Button::Start},
                                        TimerExpiries{3}, ClickButton{Button::Quit},
                                        TimerExpiries{1}};
    EXPECT_TRUE(parsed.commands == expected);

    // Every line counts, blank and comment lines too, and lines after quit are checked.
    parsed = parseScript("# one\n\nstart\r\nquit\nbogus\ntick 0\n");
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, 5u);
    EXPECT_TRUE(parsed.commands.empty());

    // A line feed that splits a character leaves both halves ill-formed.
    parsed = parseScript("tick\ntext length \"\xE2\n\x82\xAC\"\n");
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, 2u);
    EXPECT_NE(parsed.error->reason.find("UTF-8"), string::npos);
}

}  // namespace
}  // namespace tavro::trace
