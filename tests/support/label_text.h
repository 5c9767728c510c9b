#pragma once

#include <cstddef>
#include <string_view>

namespace tavro::test {

// A label text as the window may show it: "inf", "-inf", or -?digits(.digits)? with no
// exponent, no superfluous leading zero, no trailing zero after the point and no "-0".
inline bool isWellFormedLabel(std::string_view s)
{
    if (s == "inf" || s == "-inf")
        return true;
    std::size_t i = s.starts_with('-') ? 1 : 0;
    const std::size_t wholeStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    const std::size_t wholeDigits = i - wholeStart;
    if (wholeDigits == 0 || (wholeDigits > 1 && s[wholeStart] == '0'))
        return false;
    if (i == s.size())
        return s != "-0";
    if (s[i] != '.')
        return false;
    const std::size_t fractionStart = ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        ++i;
    return i == s.size() && i > fractionStart && s.back() != '0';
}

}  // namespace tavro::test
