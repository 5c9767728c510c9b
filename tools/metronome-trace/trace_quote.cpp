#include "trace_quote.h"

namespace tavro::trace {

std::string quoteText(std::string_view text)
{
    std::string result;
    result.reserve(text.size() + 2);
    result += '"';
    for (const char c : text) {
        switch (c) {
        case '\\': result += "\\\\"; break;
        case '"': result += "\\\""; break;
        case '\t': result += "\\t"; break;
        case '\n': result += "\\n"; break;
        case '\r': result += "\\r"; break;
        default: result += c; break;
        }
    }
    result += '"';
    return result;
}

}  // namespace tavro::trace
