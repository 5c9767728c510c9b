#include "plan/shell_quoting.h"

#include "engine/utf8_text.h"

#include <cstdio>

namespace tavro::plan {

namespace {

// The length of the well-formed UTF-8 sequence of a printable character that `text`
// begins with: 1 for printable ASCII, 2 to 4 for a character past ASCII other than the
// C1 controls (U+0080 to U+009F, C2 80 to C2 9F); 0 for anything else.
std::size_t printableLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text.front());
    if (lead < 0x80)
        return lead >= 0x20 && lead < 0x7F ? 1 : 0;
    if (lead == 0xC2 && text.size() > 1 && static_cast<unsigned char>(text[1]) < 0xA0)
        return 0;
    return utf8SequenceLength(text, 0);
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
