#include "engine/number_text.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

namespace tavro {

namespace {

// Only ASCII digits count: bytes of UTF-8 sequences are ordinary other characters.
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSign(char c) { return c == '+' || c == '-'; }
bool isExponentLetter(char c) { return c == 'e' || c == 'E'; }

// ---------------------------------------------------------------------------------
// The number test

// Moves `i` over a run of digits and tells whether there was at least one.
bool skipDigits(std::string_view text, std::size_t& i)
{
    const std::size_t start = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    return i > start;
}

// ---------------------------------------------------------------------------------
// The leading-number value

// The blanks the reader steps over anywhere, also inside a number.
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

std::size_t skipBlanks(std::string_view text, std::size_t i)
{
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return i;
}

// A double's correct rounding never depends on more than 767 significant digits, so
// 800 kept digits plus one sticky nonzero digit for everything cut off round exactly
// like the full text.
constexpr std::size_t kKeptDigits = 800;

// Exponents are clamped here; anything this far out is infinity or zero long before,
// and the clamp keeps every sum of two clamped values far from int64 overflow.
constexpr std::int64_t kExponentLimit = std::int64_t{1} << 60;

std::int64_t clampExponent(std::int64_t e)
{
    if (e > kExponentLimit)
        return kExponentLimit;
    if (e < -kExponentLimit)
        return -kExponentLimit;
    return e;
}

std::int64_t addExponents(std::int64_t a, std::int64_t b)
{
    return clampExponent(clampExponent(a) + clampExponent(b));
}

// The number as read: value = digits x 10^exponent, digits without leading zeros.
struct DecimalText {
    bool negative = false;
    bool hasDigit = false;  // any mantissa digit at all, zeros included
    std::string digits;
    bool sticky = false;  // a nonzero digit was cut off after the kept ones
    std::int64_t exponent = 0;

    void addDigit(char c, bool inFraction)
    {
        hasDigit = true;
        if (digits.empty() && c == '0') {
            // A leading zero only moves the point; in the integer part not even that.
            if (inFraction)
                --exponent;
            return;
        }
        if (digits.size() < kKeptDigits) {
            digits.push_back(c);
            if (inFraction)
                --exponent;
            return;
        }
        if (c != '0')
            sticky = true;
        if (!inFraction)
            ++exponent;
    }
};

// Reads digits, stepping over blanks between them, until some other character.
template <typename OnDigit>
std::size_t readDigits(std::string_view text, std::size_t i, OnDigit onDigit)
{
    while (i < text.size()) {
        if (isDigit(text[i])) {
            onDigit(text[i]);
        } else if (!isBlank(text[i])) {
            break;
        }
        ++i;
    }
    return i;
}

// Reads the exponent that starts at `i` (at its letter) into `exponent`. An exponent
// letter without digits after it is no part of the number, and then nothing is read.
void readExponent(std::string_view text, std::size_t i, std::int64_t& exponent)
{
    if (i >= text.size() || !isExponentLetter(text[i]))
        return;
    i = skipBlanks(text, i + 1);
    bool negative = false;
    if (i < text.size() && isSign(text[i])) {
        negative = text[i] == '-';
        i = skipBlanks(text, i + 1);
    }
    if (i >= text.size() || !isDigit(text[i]))
        return;
    std::int64_t magnitude = 0;
    readDigits(text, i, [&magnitude](char c) {
        if (magnitude < kExponentLimit / 10)
            magnitude = magnitude * 10 + (c - '0');
    });
    exponent = clampExponent(negative ? -magnitude : magnitude);
}

DecimalText readLeadingNumber(std::string_view text)
{
    DecimalText number;
    std::size_t i = skipBlanks(text, 0);
    if (i < text.size() && isSign(text[i])) {
        number.negative = text[i] == '-';
        i = skipBlanks(text, i + 1);
    }
    i = readDigits(text, i, [&number](char c) { number.addDigit(c, false); });
    if (i < text.size() && text[i] == '.') {
        i = readDigits(text, i + 1, [&number](char c) { number.addDigit(c, true); });
    }
    if (!number.hasDigit)
        return number;  // an exponent needs a mantissa before it
    std::int64_t explicitExponent = 0;
    readExponent(text, i, explicitExponent);
    number.exponent = addExponents(number.exponent, explicitExponent);
    return number;
}

double toDouble(const DecimalText& number)
{
    if (!number.hasDigit)
        return 0.0;
    const double zero = number.negative ? -0.0 : 0.0;
    const double infinity = number.negative ? -std::numeric_limits<double>::infinity()
                                            : std::numeric_limits<double>::infinity();
    if (number.digits.empty())
        return zero;

    std::string digits = number.digits;
    std::int64_t exponent = number.exponent;
    if (number.sticky) {
        // Lies strictly between the cut value and the next one up at the last kept
        // digit, as the full text does, so both round the same way.
        digits.push_back('1');
        exponent = addExponents(exponent, -1);
    }
    // The value lies in [10^(magnitude-1), 10^magnitude). Doubles end below 1.8e308
    // and round everything under 2.5e-324 to zero.
    const std::int64_t magnitude = addExponents(exponent, static_cast<std::int64_t>(digits.size()));
    if (magnitude > 310)
        return infinity;
    if (magnitude < -330)
        return zero;

    // Only digits and a small exponent reach the converter, never the user's text.
    digits.push_back('e');
    digits += std::to_string(exponent);
    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                        std::chars_format::scientific);
    if (result.ec == std::errc::result_out_of_range) {
        // The converter leaves `value` alone when the result overflows or underflows.
        return magnitude > 0 ? infinity : zero;
    }
    return number.negative ? -value : value;
}

// ---------------------------------------------------------------------------------
// Formatting

// Room for the longest whole double (309 digits) with its sign, and for the digits
// and exponent of any double in scientific notation.
constexpr std::size_t kFormatBuffer = 400;

std::string formatWhole(double value)
{
    char buffer[kFormatBuffer];
    // Fixed notation with no fraction digits writes the double's exact value.
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 0);
    return std::string(buffer, result.ptr);
}

// Plain decimal notation of a finite number that is not whole, at 15 significant digits.
std::string formatFraction(double value)
{
    char buffer[kFormatBuffer];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    const std::string_view written(buffer, static_cast<std::size_t>(result.ptr - buffer));

    // written is "[-]d.dddddddddddddde[+-]x...": split it into digits and exponent.
    std::string out;
    std::size_t i = 0;
    if (written[i] == '-') {
        out.push_back('-');
        ++i;
    }
    const std::size_t ePos = written.find('e');
    std::string digits;
    for (std::size_t k = i; k < ePos; ++k) {
        if (written[k] != '.')
            digits.push_back(written[k]);
    }
    int exponent = 0;
    const char* expBegin = written.data() + ePos + 1;
    if (*expBegin == '+')
        ++expBegin;  // from_chars takes '-' but not '+'
    std::from_chars(expBegin, written.data() + written.size(), exponent);

    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    // value = d1.d2d3... x 10^exponent
    const int digitCount = static_cast<int>(digits.size());
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else if (exponent + 1 >= digitCount) {
        // Rounding to 15 digits made it whole: no point.
        out += digits;
        out.append(static_cast<std::size_t>(exponent + 1 - digitCount), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(exponent + 1));
        out.push_back('.');
        out.append(digits, static_cast<std::size_t>(exponent + 1));
    }
    return out;
}

}  // namespace

bool isNumber(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    const std::string_view body = text.substr(begin, end - begin);

    std::size_t i = 0;
    if (i < body.size() && isSign(body[i]))
        ++i;
    bool hasDigit = skipDigits(body, i);
    if (i < body.size() && body[i] == '.') {
        ++i;
        hasDigit = skipDigits(body, i) || hasDigit;
    }
    if (!hasDigit)
        return false;
    if (i < body.size() && isExponentLetter(body[i])) {
        ++i;
        if (i < body.size() && isSign(body[i]))
            ++i;
        if (!skipDigits(body, i))
            return false;
    }
    return i == body.size();
}

double leadingNumberValue(std::string_view text) { return toDouble(readLeadingNumber(text)); }

std::string formatNumber(double value)
{
    if (std::isnan(value))
        return "nan";
    if (value == std::numeric_limits<double>::infinity())
        return "inf";
    if (value == -std::numeric_limits<double>::infinity())
        return "-inf";
    if (value == 0.0)
        return "0";  // also negative zero
    if (std::trunc(value) == value)
        return formatWhole(value);
    return formatFraction(value);
}

}  // namespace tavro
