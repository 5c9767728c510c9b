#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tavro::fuzz {

// A broken property is a crash, so libFuzzer keeps the input that shows it.
[[noreturn]] inline void fail(const char* what, std::string_view detail = {}) {
    std::fprintf(stderr, "property broken: %s [%.*s]\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

inline void require(bool holds, const char* what, std::string_view detail = {}) {
    if (!holds) fail(what, detail);
}

// The text the cleaning of START leaves in a box: everything before the first full stop.
inline std::string cutAtFullStop(std::string_view text) {
    return std::string(text.substr(0, text.find('.')));
}

// A label text as the window may show it: "inf", "-inf", or -?digits(.digits)? with no
// exponent, no superfluous leading zero, no trailing zero after the point and no "-0".
inline bool isWellFormedLabel(std::string_view s) {
    if (s == "inf" || s == "-inf") return true;
    std::size_t i = 0;
    if (i < s.size() && s[i] == '-') ++i;
    const std::size_t wholeStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    const std::size_t wholeDigits = i - wholeStart;
    if (wholeDigits == 0 || (wholeDigits > 1 && s[wholeStart] == '0')) return false;
    if (i == s.size()) return s != "-0";
    if (s[i] != '.') return false;
    const std::size_t fractionStart = ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    return i == s.size() && i > fractionStart && s.back() != '0';
}

}  // namespace tavro::fuzz
