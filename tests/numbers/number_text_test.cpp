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

// Bitwise equality, so that 0.0 and -0.0 are told apart.
::testing::AssertionResult sameDouble(double actual, double expected) {
    if (std::bit_cast<std::uint64_t>(actual) == std::bit_cast<std::uint64_t>(expected)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << std::hexfloat << "got " << actual << ", expected "
                                         << expected;
}

std::string repeated(char c, std::size_t count) { return std::string(count, c); }

// The shortest text that reads back as exactly `value`.
std::string shortest(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

struct NumberTestCase {
    std::string text;
    bool expected;
};

TEST(IsNumber, AcceptsSignedDecimalsWithFractionAndExponent) {
    const std::vector<NumberTestCase> cases = {
        {"5", true},        {"-5", true},          {"+5", true},      {"007", true},
        {"12.7", true},     {".5", true},          {"5.", true},      {"-.5", true},
        {"+5.e3", true},    {"1e5", true},         {"1E+5", true},    {"1.5e-3", true},
        {"0e0", true},      {"  12  ", true},      {" -3 ", true},    {"1e99999999999", true},
    };
    for (const auto& c : cases) EXPECT_EQ(isNumber(c.text), c.expected) << '"' << c.text << '"';
}

TEST(IsNumber, RejectsIncompleteForms) {
    const std::vector<NumberTestCase> cases = {
        {"", false},  {"   ", false}, {".", false},   {" . ", false}, {"-", false},
        {"+", false}, {"-.", false},  {"e5", false},  {".e5", false}, {"1e", false},
        {"1e+", false}, {"1e-", false}, {"1.2.3", false}, {"1e5.5", false}, {"1e5e5", false},
        {"++5", false}, {"5-", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isNumber(c.text), c.expected) << '"' << c.text << '"';
}

TEST(IsNumber, TrimsOnlySpacesAndAllowsNoOtherCharacters) {
    const std::vector<NumberTestCase> cases = {
        {"- 5", false},       {"1 2", false},      {"1 e5", false},   {"\t5", false},
        {"5\t", false},       {"5\n", false},      {"\r5", false},    {"12abc", false},
        {"&H10", false},      {"&O17", false},     {"0x10", false},   {"1d5", false},
        {"1D5", false},       {"1,000", false},    {"1,5", false},    {"$5", false},
        {"(5)", false},       {"inf", false},      {"nan", false},    {"\xD9\xA5", false},
        {"5\xC2\xA0", false}, {std::string("5\0", 2), false}, {std::string("\0 5", 3), false},
    };
    for (const auto& c : cases) EXPECT_EQ(isNumber(c.text), c.expected) << '"' << c.text << '"';
}

struct ValueCase {
    std::string text;
    double expected;
};

void expectValues(const std::vector<ValueCase>& cases) {
    for (const auto& c : cases) {
        EXPECT_TRUE(sameDouble(leadingNumberValue(c.text), c.expected)) << '"' << c.text << '"';
    }
}

TEST(LeadingNumberValue, ReadsTheNumberAtTheStart) {
    expectValues({
        {"5", 5.0},       {"-5", -5.0},     {"+5", 5.0},       {"12.7", 12.7},
        {".5", 0.5},      {"5.", 5.0},      {"-.5", -0.5},     {"1.2.3", 1.2},
        {"24 abc", 24.0}, {"12abc", 12.0},  {"1.5e3x", 1500.0}, {"2E-2", 0.02},
        {"1,5", 1.0},     {"1d5", 1.0},     {"5-", 5.0},       {"007.50", 7.5},
        {std::string("5\0" "7", 3), 5.0},
    });
}

TEST(LeadingNumberValue, SkipsSpacesTabsAndLineFeedsAnywhere) {
    expectValues({
        {"2 4", 24.0},         {" \t\n-\t5", -5.0},  {"- .5", -0.5},     {"1 . 5", 1.5},
        {"5 e 2", 500.0},      {"5e - 2", 0.05},     {"1\n2\t3 4", 1234.0}, {"  7  ", 7.0},
        {"\r5", 0.0},          {"\v5", 0.0},         {"\f5", 0.0},       {"5\r5", 5.0},
    });
}

TEST(LeadingNumberValue, TextWithoutANumberReadsAsZero) {
    expectValues({
        {"", 0.0},     {"   ", 0.0},  {"abc", 0.0},  {".", 0.0},    {"-.", 0.0},
        {"+", 0.0},    {"-", 0.0},    {"e5", 0.0},   {"-e5", 0.0},  {".e5", 0.0},
        {"inf", 0.0},  {"-nan", 0.0}, {"&H10", 0.0}, {"$5", 0.0},   {"(5)", 0.0},
        {"\xD9\xA5", 0.0},            {std::string("\0" "5", 2), 0.0},
    });
}

TEST(LeadingNumberValue, ExponentLetterWithoutDigitsIsNotRead) {
    expectValues({
        {"1e", 1.0},   {"1e+", 1.0},  {"5e-", 5.0},  {"5ex", 5.0},  {"5e+x", 5.0},
        {"5 e", 5.0},  {"5e.3", 5.0}, {"5ee3", 5.0}, {"0x10", 0.0}, {"5e3e2", 5000.0},
    });
}

TEST(LeadingNumberValue, KeepsTheSignOfZero) {
    expectValues({
        {"-0", -0.0}, {"-0.000", -0.0}, {"- 0e5", -0.0}, {"0", 0.0}, {"+0", 0.0}, {"-.0", -0.0},
    });
}

TEST(LeadingNumberValue, RoundsCorrectly) {
    expectValues({
        {"0.1", 0.1},
        {"9007199254740993", 9007199254740992.0},  // a tie goes to the even neighbour
        {"9007199254740995", 9007199254740996.0},
        {"9007199254740993.0000001", 9007199254740994.0},
        {"1.7976931348623157e308", std::numeric_limits<double>::max()},
        {"2.2250738585072011e-308", 2.2250738585072009e-308},
        {"4.9406564584124654e-324", std::numeric_limits<double>::denorm_min()},
        {"2.4703282292062328e-324", std::numeric_limits<double>::denorm_min()},
    });
}

TEST(LeadingNumberValue, OutOfRangeMagnitudesBecomeInfinityOrZero) {
    expectValues({
        {"1e99999999999999999999", kInf},
        {"-1e999", -kInf},
        {"1.7976931348623159e308", kInf},
        {"1e-99999999999999999999", 0.0},
        {"-1e-400", -0.0},
        {"2.4703282292062327e-324", 0.0},
        {"0e99999999999999999999", 0.0},
    });
}

TEST(LeadingNumberValue, HandlesMegabyteInputs) {
    const std::size_t mega = 1'000'000;
    const std::string millionZeros = repeated('0', mega);
    expectValues({
        {millionZeros + "1", 1.0},
        {"1" + millionZeros, kInf},
        {"0." + millionZeros + "1", 0.0},
        {"-" + millionZeros, -0.0},
        {repeated(' ', mega) + "7", 7.0},
        {"0." + repeated('1', mega), 1.0 / 9.0},
        // The exponent and the position of the point cancel out.
        {"0." + millionZeros + "1e1000001", 1.0},
        {"1" + millionZeros + "e-1000000", 1.0},
        {"0." + millionZeros + "25e1000000", 0.25},
    });
    EXPECT_TRUE(isNumber(millionZeros));
    EXPECT_FALSE(isNumber(repeated('1', mega) + "x"));
}

TEST(LeadingNumberValue, DigitsBeyondTheKeptOnesStillDecideTheRounding) {
    // 2^53 + 1 lies halfway between two doubles; only a far-away digit breaks the tie.
    const std::string half = "9007199254740993";
    expectValues({
        {half + "." + repeated('0', 1000), 9007199254740992.0},
        {half + "." + repeated('0', 1000) + "1", 9007199254740994.0},
        {half + repeated('0', 1000) + "1e-1001", 9007199254740994.0},
        {half + repeated('0', 1000) + "e-1000", 9007199254740992.0},
        {"-" + half + "." + repeated('0', 5000) + "7", -9007199254740994.0},
    });
}

TEST(LeadingNumberValue, ShortestTextOfRandomDoublesReadsBackExactly) {
    std::mt19937_64 random(20240611);
    int checked = 0;
    while (checked < 4000) {
        const double value = std::bit_cast<double>(random());
        if (!std::isfinite(value)) continue;
        ++checked;
        const std::string text = shortest(value);
        ASSERT_TRUE(sameDouble(leadingNumberValue(text), value)) << text;
        ASSERT_TRUE(isNumber(text)) << text;
    }
}

TEST(LeadingNumberValue, RandomBytesNeverThrow) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 3000; ++n) {
        std::string text(static_cast<std::size_t>(length(random)), '\0');
        for (char& c : text) c = static_cast<char>(byte(random));
        EXPECT_NO_THROW(leadingNumberValue(text));
        EXPECT_NO_THROW(isNumber(text));
    }
}

// Random texts over the characters that numbers are made of, checked against an
// independent description of the accepted form and against the standard converter.
TEST(NumberReading, AgreesWithReferenceOnRandomNumberLikeTexts) {
    const std::string alphabet = "0123456789..eE+-  \t";
    const std::regex form(R"( *[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)? *)");
    std::mt19937 random(11);
    std::uniform_int_distribution<int> length(0, 10);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    int numbers = 0;
    for (int n = 0; n < 20000; ++n) {
        std::string text(static_cast<std::size_t>(length(random)), ' ');
        for (char& c : text) c = alphabet[pick(random)];
        const bool expectedNumber = std::regex_match(text, form);
        ASSERT_EQ(isNumber(text), expectedNumber) << '"' << text << '"';
        if (!expectedNumber) continue;
        ++numbers;
        // A number without inner blanks: the standard converter reads it too.
        std::string trimmed = text.substr(text.find_first_not_of(' '));
        trimmed.erase(trimmed.find_last_not_of(' ') + 1);
        const char* begin = trimmed.data() + (trimmed[0] == '+' ? 1 : 0);
        double reference = 0.0;
        const auto result = std::from_chars(begin, trimmed.data() + trimmed.size(), reference);
        if (result.ec != std::errc()) continue;
        ASSERT_EQ(result.ptr, trimmed.data() + trimmed.size()) << trimmed;
        ASSERT_TRUE(sameDouble(leadingNumberValue(text), reference)) << '"' << text << '"';
    }
    EXPECT_GT(numbers, 1000);
}

struct FormatCase {
    double value;
    std::string expected;
};

void expectFormats(const std::vector<FormatCase>& cases) {
    for (const auto& c : cases) {
        EXPECT_EQ(formatNumber(c.value), c.expected) << std::hexfloat << c.value;
    }
}

TEST(FormatNumber, WritesWholeNumbersExactlyWithoutAPoint) {
    expectFormats({
        {0.0, "0"},
        {-0.0, "0"},
        {1.0, "1"},
        {-2.0, "-2"},
        {300.0, "300"},
        {1e15, "1000000000000000"},
        {1e20, "100000000000000000000"},
        {1e23, "99999999999999991611392"},
        {-1180591620717411303424.0, "-1180591620717411303424"},
        {std::numeric_limits<double>::max(),
         "17976931348623157081452742373170435679807056752584499659891747680315726078002853876058"
         "95586327668781715404589535143824642343213268894641827684675467035375169860499105765512"
         "82076245490090389328944075868508455133942304583236903222948165808559332123348274797826"
         "204144723168738177180919299881250404026184124858368"},
    });
}

TEST(FormatNumber, WritesOtherNumbersInPlainDecimalsUpTo15Digits) {
    expectFormats({
        {0.5, "0.5"},
        {-0.5, "-0.5"},
        {1.5, "1.5"},
        {0.0000001, "0.0000001"},
        {0.00001234, "0.00001234"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {-2.0 / 3.0, "-0.666666666666667"},
        {1000.0 / 3.0, "333.333333333333"},
        {123456.789, "123456.789"},
        {12345678901234.56, "12345678901234.6"},
        {1e-300, "0." + repeated('0', 299) + "1"},
    });
}

TEST(FormatNumber, ShowsAsWholeWhatRoundsToWholeAt15Digits) {
    expectFormats({
        {0.9999999999999999, "1"},
        {-0.9999999999999999, "-1"},
        {59.99999999999999, "60"},
        {999999999999999.9, "1000000000000000"},
        {4503599627370495.5, "4503599627370500"},
    });
}

TEST(FormatNumber, WritesInfinitiesAndNaN) {
    expectFormats({
        {kInf, "inf"},
        {-kInf, "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
    });
}

TEST(FormatNumber, RandomValuesReadBackWithin15SignificantDigits) {
    const std::regex plain(R"(-?(0|[1-9][0-9]*)(\.[0-9]*[1-9])?)");
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-25, 25);
    for (int n = 0; n < 3000; ++n) {
        double value = mantissa(random) * std::pow(10.0, exponent(random));
        if (n % 3 == 0) value = std::round(value);
        const std::string text = formatNumber(value);
        ASSERT_TRUE(std::regex_match(text, plain)) << text;
        const double back = leadingNumberValue(text);
        if (std::trunc(value) == value) {
            ASSERT_TRUE(sameDouble(back, value == 0.0 ? 0.0 : value)) << text;
        } else {
            ASSERT_LE(std::abs(back - value), 5.2e-15 * std::abs(value)) << text;
        }
    }
}

}  // namespace
}  // namespace tavro
