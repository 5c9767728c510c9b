// Every script tests/golden/NAME.trace, played through the trace library, must print
// exactly tests/golden/NAME.expected. The list of names is taken from the directory
// when the build is configured, so a new pair becomes a new test.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "trace_runner.h"

namespace tavro::trace {
namespace {

const std::string kGoldenDir = TAVRO_GOLDEN_DIR;

std::vector<std::string> goldenNames()
{
    std::vector<std::string> names;
    std::istringstream list(TAVRO_GOLDEN_NAMES);
    for (std::string name; std::getline(list, name, ',');)
        if (!name.empty())
            names.push_back(name);
    return names;
}

bool readFile(const std::string& path, std::string& bytes)
{
    std::ifstream file(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return file.good() || file.eof();
}

class GoldenTraceTest : public ::testing::TestWithParam<std::string> {};

// On a difference, GoogleTest prints a diff of the two traces.
TEST_P(GoldenTraceTest, PrintsTheExpectedTrace)
{
    const std::string base = kGoldenDir + "/" + GetParam();
    std::string script;
    std::string expected;
    ASSERT_TRUE(readFile(base + ".trace", script)) << "cannot read " << base << ".trace";
    ASSERT_TRUE(readFile(base + ".expected", expected))
        << "no " << base << ".expected: write it by hand, checking every line";
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(runTraceScript(script, out, err), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(out.str(), expected);
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenTraceTest, ::testing::ValuesIn(goldenNames()),
                         [](const auto& info) { return info.param; });

TEST(GoldenSetTest, EveryExpectedOutputHasItsScript)
{
    // A renamed or deleted script would otherwise leave its expected output untested.
    EXPECT_EQ(std::size_t{TAVRO_GOLDEN_EXPECTED_COUNT}, goldenNames().size())
        << "an .expected file in " << kGoldenDir << " has no .trace beside it";
}

}  // namespace
}  // namespace tavro::trace
