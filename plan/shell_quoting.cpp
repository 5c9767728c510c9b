#include "plan/shell_quoting.h"

#include <cstdio>

namespace tavro::plan {

namespace {

// The length of the well-formed UTF-8 sequence of a printable character that `text`
// begins with: 1 for printable ASCII, 2 to 4 for a character past ASCII other than the
// C1 controls (U+0080 to U+009F); 0 for anything else.
std::size_t printableLength(std::string_view text)
{
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return lead >= 0x20 && lead < 0x7F ? 1 : 0;
    // The lead byte gives the length, and bounds the second byte to rule out the C1
    // controls, overlong forms, surrogates and code points past U+10FFFF.
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        if (lead == 0xC2)
            low = 0xA0;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    }
    if (length == 0 || text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

std::string escaped(unsigned char byte)
{
    switch (byte) {
    case '\a': return "\\a";
    case '\b': return "\\b";
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\v': return "\\v";
    case '\f': return "\\f";
    case '\r': return "\\r";
    case '\\': return "\\\\";
    case '\'': return "\\'";
    default: {
        char octal[5];  // always three digits, so that a digit after it stays apart
        std::snprintf(octal, sizeof octal, "\\%03o", byte);
        return octal;
    }
    }
}

}  // namespace

std::string shellQuoted(std::string_view text)
{
    bool plain = true;
    for (std::string_view rest = text; plain && !rest.empty();) {
        const std::size_t length = printableLength(rest);
        plain = length > 0 && rest.front() != '\'';
        rest.remove_prefix(length);
    }
    if (plain)
        return "'" + std::string(text) + "'";
    std::string shown = "$'";
    while (!text.empty()) {
        const std::size_t length = printableLength(text);
        if (length > 0 && text.front() != '\\' && text.front() != '\'') {
            shown += text.substr(0, length);
            text.remove_prefix(length);
        } else {
            shown += escaped(static_cast<unsigned char>(text.front()));
            text.remove_prefix(1);
        }
    }
    return shown + "'";
}

}  // namespace tavro::plan
