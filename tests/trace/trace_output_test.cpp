#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "trace_quote.h"
#include "trace_runner.h"
#include "trace_script.h"

namespace tavro::trace {
namespace {

TEST(QuoteText, EscapesOnlyWhatWouldBreakTheLineAndReadsBack)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", R"("")"},
        {"a\\b", R"("a\\b")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"line one\rline two\r\rend", R"("line one\rline two\r\rend")"},
        {"tab\there\nlf", R"("tab\there\nlf")"},
        {"\\n is not a line feed", R"("\\n is not a line feed")"},
        {"caf\xC3\xA9 \x01", "\"caf\xC3\xA9 \x01\""},
    };
    for (const auto& [text, written] : cases) {
        EXPECT_EQ(quoteText(text), written);
        const ParsedScript parsed = parseScript("text length " + written);
        ASSERT_FALSE(parsed.error) << written << ": " << parsed.error->reason;
        ASSERT_EQ(parsed.commands.size(), 1u);
        EXPECT_TRUE((parsed.commands[0] == Command{TypeText{Box::Length, text}})) << written;
    }
}

// Idle expiries are counted without being played, so the count can pass 2^32 quickly.
TEST(RunTraceScript, CountsExpiriesBeyondThirtyTwoBits)
{
    std::string script;
    for (int i = 0; i < 43; ++i)
        script += "tick 100000000\n";
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(runTraceScript(script + "start\ntick\n", out, err), 0);
    EXPECT_EQ(out.str(), "interval 1000\n"
                         "tick 4300000001 speed 60 bar -2 of 4 repeat 1 of 2 beat 1 beeps 8\n");
}

}  // namespace
}  // namespace tavro::trace
