// Every script tests/golden/NAME.trace, played through the trace library, must print
// exactly tests/golden/NAME.expected. The list of names is taken from the directory
// when the build is configured, so a new pair becomes a new test.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "trace_runner.h"

namespace tavro::trace {
namespace {

const std::string kGoldenDir = TAVRO_GOLDEN_DIR;

std::vector<std::string> goldenNames() {
    std::vector<std::string> names;
    std::istringstream list(TAVRO_GOLDEN_NAMES);
    for (std::string name; std::getline(list, name, ',');) {
        if (!name.empty()) names.push_back(name);
    }
    return names;
}

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Where the two traces first part, in a form that reads like a diff hunk.
std::string describeDifference(const std::string& expected, const std::string& actual) {
    const auto want = splitLines(expected);
    const auto got = splitLines(actual);
    std::size_t at = 0;
    while (at < want.size() && at < got.size() && want[at] == got[at]) ++at;
    std::ostringstream message;
    message << "first difference at line " << at + 1 << " (expected " << want.size()
            << " lines, got " << got.size() << ")\n";
    const std::size_t from = at >= 2 ? at - 2 : 0;
    for (std::size_t i = from; i < at; ++i) message << "  " << want[i] << '\n';
    for (std::size_t i = at; i < std::min(want.size(), at + 3); ++i) message << "- " << want[i] << '\n';
    for (std::size_t i = at; i < std::min(got.size(), at + 3); ++i) message << "+ " << got[i] << '\n';
    if (want.size() == got.size() && at == want.size()) {
        message << "(the lines agree: the difference is in line ends or a missing final line feed)\n";
    }
    return message.str();
}

class GoldenTraceTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTraceTest, PrintsTheExpectedTrace) {
    const std::string base = kGoldenDir + "/" + GetParam();
    std::string script;
    std::string expected;
    ASSERT_TRUE(readFile(base + ".trace", script)) << "cannot read " << base << ".trace";
    ASSERT_TRUE(readFile(base + ".expected", expected))
        << "no " << base << ".expected: write it by hand, or review the output of\n"
        << "  metronome-trace " << base << ".trace";

    std::ostringstream out;
    std::ostringstream err;
    const int status = runTraceScript(script, out, err);
    ASSERT_EQ(status, 0) << err.str();
    EXPECT_EQ(err.str(), "");
    if (out.str() != expected) {
        ADD_FAILURE() << GetParam() << ": " << describeDifference(expected, out.str())
                      << "whole difference: metronome-trace " << base << ".trace | diff -u "
                      << base << ".expected -";
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenTraceTest, ::testing::ValuesIn(goldenNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

TEST(GoldenSetTest, EveryExpectedOutputHasItsScript) {
    // A renamed or deleted script would otherwise leave its expected output untested.
    EXPECT_EQ(std::size_t{TAVRO_GOLDEN_EXPECTED_COUNT}, goldenNames().size())
        << "an .expected file in " << kGoldenDir << " has no .trace beside it";
}

}  // namespace
}  // namespace tavro::trace
