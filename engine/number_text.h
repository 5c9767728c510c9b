#pragma once

#include <string>
#include <string_view>

namespace tavro {

// The number test: true when `text`, leaving aside spaces (and only spaces) at both
// ends, is wholly one decimal number: an optional sign, digits with an optional
// fraction after a full stop (at least one digit before or after the stop), and an
// optional exponent (E or e, an optional sign, digits).
bool isNumber(std::string_view text);

// The leading-number value: the double read from the start of `text`. Spaces, tabs
// and line feeds are skipped wherever they stand, also inside the number; reading
// stops at the first character that cannot continue the number. A text that does
// not begin with a number reads as 0. Too large a magnitude reads as +/-infinity,
// too small a one as (signed) zero. Correctly rounded; linear in the text's length.
double leadingNumberValue(std::string_view text);

// A number as the window shows it: a whole number in plain digits with a leading
// '-' when negative (negative zero shows as "0"); any other finite number in plain
// decimal notation, at most 15 significant digits, no trailing zeros; "inf"/"-inf".
std::string formatNumber(double value);

}  // namespace tavro
