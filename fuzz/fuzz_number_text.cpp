// Reading and writing numbers: the number test and the leading-number value against an
// independent reader built on the standard library's converter, the label form of
// formatNumber and its round trip, and the cleaning START applies to a box.
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/headless_window.h"
#include "engine/metronome.h"
#include "engine/number_text.h"
#include "fuzz_checks.h"

namespace {

using namespace tavro;
using tavro::fuzz::require;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The end of the longest decimal number at the start of `s`: sign, digits, fraction,
// exponent (only with digits after it); 0 when `s` does not start with one.
std::size_t numberPrefixEnd(std::string_view s)
{
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    for (; i < s.size() && isDigit(s[i]); ++i)
        ++digits;
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && isDigit(s[i]); ++i)
            ++digits;
    if (digits == 0)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

// The double a validated number text stands for, correctly rounded.
double readValidated(std::string number)
{
    if (number.empty())
        return 0.0;
    if (number[0] == '+')
        number.erase(0, 1);  // from_chars takes no plus sign
    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    require(result.ptr == number.data() + number.size(), "from_chars reads the whole number",
            number);
    if (result.ec == std::errc::result_out_of_range)
        return std::strtod(number.c_str(), nullptr);
    return value;
}

// Blanks are skipped anywhere inside a leading number, so with them removed the value
// is that of the longest number at the start.
double referenceLeadingValue(std::string_view text)
{
    std::string compact;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            compact.push_back(c);
    return readValidated(compact.substr(0, numberPrefixEnd(compact)));
}

void checkReading(std::string_view text)
{
    const double value = leadingNumberValue(text);
    const double expected = referenceLeadingValue(text);
    require(std::bit_cast<std::uint64_t>(value) == std::bit_cast<std::uint64_t>(expected),
            "leadingNumberValue equals the reference reading", text);

    const auto first = text.find_first_not_of(' ');
    const std::string_view trimmed =
        first == std::string_view::npos
            ? std::string_view{}
            : text.substr(first, text.find_last_not_of(' ') - first + 1);
    const bool wholeTextIsNumber = !trimmed.empty() && numberPrefixEnd(trimmed) == trimmed.size();
    require(isNumber(text) == wholeTextIsNumber, "isNumber matches the number form", text);
}

void checkFormat(double value)
{
    if (std::isnan(value))
        return;  // no reading and no tick ever yields NaN
    const std::string shown = formatNumber(value);
    require(tavro::fuzz::isWellFormedLabel(shown), "formatNumber is a well-formed label", shown);
    if (std::isinf(value))
        return;
    require(isNumber(shown), "formatNumber passes the number test", shown);
    const double back = leadingNumberValue(shown);
    if (std::trunc(value) == value) {
        require(back == value, "a whole number reads back exactly", shown);
        return;
    }
    // Zeros before the first nonzero digit, and at the end of a text without a point,
    // only place the digits.
    std::string_view digits = shown;
    if (digits.find('.') == std::string_view::npos)
        digits = digits.substr(0, digits.find_last_not_of('0') + 1);
    std::size_t significant = 0;
    bool leading = true;
    for (char c : digits) {
        if (!isDigit(c) || (leading && c == '0'))
            continue;
        leading = false;
        ++significant;
    }
    require(significant <= 15, "at most 15 significant digits", shown);
    // 15 digits are within 5e-15 relative; reading back adds at most half a unit in
    // the last place, which below the normal range is the smallest subnormal.
    const double error = std::fabs(back - value);
    require(error <= 5.2e-15 * std::fabs(value) + 5e-324, "reads back within 15 digits", shown);
}

// One box of a freshly loaded window gets the text; START must cut it at its first full
// stop, write it back only when it did cut, and on acceptance store its value.
void checkCleaning(std::string_view text)
{
    HeadlessWindow window;
    Metronome metronome(window);
    metronome.Form_Load();
    const auto box = static_cast<Box>(text.size() % 7);
    const auto index = static_cast<std::size_t>(box);
    window.typeBoxText(box, std::string(text));
    metronome.Command2_Click();
    const std::string cleaned = tavro::fuzz::cutAtFullStop(text);
    require(window.boxText(box) == cleaned, "the box is cut at its first full stop", text);
    require(window.boxWrites(box) == (text.find('.') != std::string_view::npos ? 1 : 0),
            "a box is written only when cut", text);
    if (window.messagesShown() != 0)
        return;
    const MetronomeState& s = metronome.state();
    const double stored[7] = {s.piecelength, s.introbars, s.repeattotal, s.startbpm,
                              s.maxbpm,      s.linearinc, s.skipinc};
    require(isNumber(cleaned), "an accepted box passes the number test", text);
    require(stored[index] == leadingNumberValue(cleaned), "START stores the box's value", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    checkReading(text);
    checkFormat(leadingNumberValue(text));
    if (size >= sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data, sizeof raw);
        checkFormat(raw);
    }
    checkCleaning(text);
    return 0;
}
