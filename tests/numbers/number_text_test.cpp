#include "engine/number_text.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace tavro {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
using std::string;

// Bitwise equality, so that 0.0 and -0.0 are told apart.
::testing::AssertionResult sameDouble(double actual, double expected)
{
    if (std::bit_cast<std::uint64_t>(actual) == std::bit_cast<std::uint64_t>(expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << std::hexfloat << "got " << actual << ", expected " << expected;
}

struct ValueCase {
    string text;
    double expected;
};

void expectValues(const std::vector<ValueCase>& cases)
{
    for (const auto& c : cases)
        EXPECT_TRUE(sameDouble(leadingNumberValue(c.text), c.expected)) << '"' << c.text << '"';
}

TEST(IsNumber, AcceptsOnlyOneDecimalNumberBetweenSpaces)
{
    const std::vector<std::pair<string, bool>> cases = {
        {"5", true},
        {"-5", true},
        {"+5", true},
        {"12.7", true},
        {".5", true},
        {"5.", true},
        {"-.5", true},
        {"+5.e3", true},
        {"1E+5", true},
        {"1.5e-3", true},
        {"  12  ", true},
        {"1e99999999999", true},
        {"", false},
        {"   ", false},
        {".", false},
        {"-", false},
        {"-.", false},
        {"e5", false},
        {".e5", false},
        {"1e", false},
        {"1e+", false},
        {"1.2.3", false},
        {"1e5.5", false},
        {"++5", false},
        {"5-", false},
        {"- 5", false},
        {"1 2", false},
        {"1 e5", false},
        {"\t5", false},
        {"5\t", false},
        {"5\n", false},
        {"12abc", false},
        {"&H10", false},
        {"0x10", false},
        {"1d5", false},
        {"1,000", false},
        {"$5", false},
        {"(5)", false},
        {"inf", false},
        {"nan", false},
        {"\xD9\xA5", false},
        {"5\xC2\xA0", false},
        {string("5\0", 2), false},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(isNumber(text), expected) << '"' << text << '"';
}

TEST(LeadingNumberValue, ReadsTheNumberAtTheStartOrZero)
{
    expectValues({
        {"-5", -5.0},
        {"+5", 5.0},
        {"12.7", 12.7},
        {".5", 0.5},
        {"5.", 5.0},
        {"1.2.3", 1.2},
        {"24 abc", 24.0},
        {"1.5e3x", 1500.0},
        {"2E-2", 0.02},
        {"1,5", 1.0},
        {"1d5", 1.0},
        {"007.50", 7.5},
        {string("5\0"
                "7",
                3),
         5.0},
        // Spaces, tabs and line feeds are skipped anywhere, other blanks are not.
        {"2 4", 24.0},
        {" \t\n-\t5", -5.0},
        {"1 . 5", 1.5},
        {"5e - 2", 0.05},
        {"\r5", 0.0},
        {"\v5", 0.0},
        {"5\r5", 5.0},
        // An exponent letter without digits is not read.
        {"1e", 1.0},
        {"5e+x", 5.0},
        {"5e.3", 5.0},
        {"5e3e2", 5000.0},
        {"", 0.0},
        {"abc", 0.0},
        {".", 0.0},
        {"-.", 0.0},
        {"-e5", 0.0},
        {"inf", 0.0},
        {"-nan", 0.0},
        {"&H10", 0.0},
        {"0x10", 0.0},
        {"\xD9\xA5", 0.0},
        {"-0", -0.0},
        {"- 0e5", -0.0},
        {"+0", 0.0},
        // Correctly rounded, ties to even; out of range to infinity or (signed) zero.
        {"0.1", 0.1},
        {"9007199254740993", 9007199254740992.0},
        {"9007199254740995", 9007199254740996.0},
        {"9007199254740993.0000001", 9007199254740994.0},
        {"2.2250738585072011e-308", 2.2250738585072009e-308},
        {"2.4703282292062328e-324", std::numeric_limits<double>::denorm_min()},
        {"2.4703282292062327e-324", 0.0},
        {"1.7976931348623159e308", kInf},
        {"1e99999999999999999999", kInf},
        {"-1e999", -kInf},
        {"-1e-400", -0.0},
        {"0e99999999999999999999", 0.0},
    });
}

TEST(LeadingNumberValue, HandlesMegabyteInputsInFull)
{
    const string zeros(1'000'000, '0');
    // 2^53 + 1 lies halfway between two doubles; only a far-away digit breaks the tie.
    const string half = "9007199254740993";
    expectValues({
        {zeros + "1", 1.0},
        {"1" + zeros, kInf},
        {"0." + zeros + "1", 0.0},
        {"-" + zeros, -0.0},
        {string(1'000'000, ' ') + "7", 7.0},
        {"0." + string(1'000'000, '1'), 1.0 / 9.0},
        // The exponent and the position of the point cancel out.
        {"0." + zeros + "1e1000001", 1.0},
        {"1" + zeros + "e-1000000", 1.0},
        {half + "." + zeros, 9007199254740992.0},
        {half + "." + zeros + "1", 9007199254740994.0},
        {half + zeros + "1e-1000001", 9007199254740994.0},
        {"-" + half + "." + zeros + "7", -9007199254740994.0},
    });
    EXPECT_TRUE(isNumber(zeros));
    EXPECT_FALSE(isNumber(string(1'000'000, '1') + "x"));
}

// Random texts over the characters numbers are made of, checked against an independent
// description of the accepted form and against the standard converter; random bytes
// and the shortest text of random doubles as well.
TEST(NumberReading, AgreesWithReferencesOnRandomTexts)
{
    const string alphabet = "0123456789..eE+-  \t";
    const std::regex form(R"( *[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)? *)");
    std::mt19937 random(11);
    int numbers = 0;
    for (int n = 0; n < 20000; ++n) {
        string text(random() % 11, ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        const bool expectedNumber = std::regex_match(text, form);
        ASSERT_EQ(isNumber(text), expectedNumber) << '"' << text << '"';
        if (!expectedNumber)
            continue;
        ++numbers;
        string trimmed = text.substr(text.find_first_not_of(' '));
        trimmed.erase(trimmed.find_last_not_of(' ') + 1);
        const char* begin = trimmed.data() + (trimmed[0] == '+' ? 1 : 0);
        double reference = 0.0;
        const auto result = std::from_chars(begin, trimmed.data() + trimmed.size(), reference);
        if (result.ec == std::errc() && result.ptr == trimmed.data() + trimmed.size()) {
            ASSERT_TRUE(sameDouble(leadingNumberValue(text), reference)) << '"' << text << '"';
        }
    }
    EXPECT_GT(numbers, 1000);

    for (int n = 0; n < 3000; ++n) {
        string bytes(random() % 41, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 256);
        EXPECT_NO_THROW(leadingNumberValue(bytes));
        EXPECT_NO_THROW(isNumber(bytes));
    }

    std::mt19937_64 bits(20240611);
    for (int checked = 0; checked < 4000;) {
        const double value = std::bit_cast<double>(bits());
        if (!std::isfinite(value))
            continue;
        ++checked;
        char buffer[64];
        const string text(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
        ASSERT_TRUE(sameDouble(leadingNumberValue(text), value)) << text;
        ASSERT_TRUE(isNumber(text)) << text;
    }
}

TEST(FormatNumber, WritesPlainDecimalsUpTo15Digits)
{
    const std::vector<std::pair<double, string>> cases = {
        {0.0, "0"},
        {-0.0, "0"},
        {-2.0, "-2"},
        {300.0, "300"},
        {1e20, "100000000000000000000"},
        {1e23, "99999999999999991611392"},
        {-1180591620717411303424.0, "-1180591620717411303424"},
        {-0.5, "-0.5"},
        {0.0000001, "0.0000001"},
        {0.00001234, "0.00001234"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {-2.0 / 3.0, "-0.666666666666667"},
        {1000.0 / 3.0, "333.333333333333"},
        {12345678901234.56, "12345678901234.6"},
        {1e-300, "0." + string(299, '0') + "1"},
        // What rounds to a whole number at 15 digits shows as one.
        {0.9999999999999999, "1"},
        {-0.9999999999999999, "-1"},
        {59.99999999999999, "60"},
        {999999999999999.9, "1000000000000000"},
        {4503599627370495.5, "4503599627370500"},
        {kInf, "inf"},
        {-kInf, "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(formatNumber(value), expected) << std::hexfloat << value;
    const string largest = formatNumber(std::numeric_limits<double>::max());
    EXPECT_EQ(largest.size(), 309u);
    EXPECT_EQ(leadingNumberValue(largest), std::numeric_limits<double>::max());
}

TEST(FormatNumber, RandomValuesReadBackWithin15SignificantDigits)
{
    const std::regex plain(R"(-?(0|[1-9][0-9]*)(\.[0-9]*[1-9])?)");
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-25, 25);
    for (int n = 0; n < 3000; ++n) {
        double value = mantissa(random) * std::pow(10.0, exponent(random));
        if (n % 3 == 0)
            value = std::round(value);
        const string text = formatNumber(value);
        ASSERT_TRUE(std::regex_match(text, plain)) << text;
        const double back = leadingNumberValue(text);
        const double tolerance = std::trunc(value) == value ? 0.0 : 5.2e-15 * std::abs(value);
        ASSERT_LE(std::abs(back - value), tolerance) << text;
    }
}

}  // namespace
}  // namespace tavro
