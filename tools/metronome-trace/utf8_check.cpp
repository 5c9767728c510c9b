#include "trace_script.h"

#include "engine/utf8_text.h"

namespace tavro::trace {

std::optional<std::size_t> firstInvalidUtf8(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0)
            return at;
        at += length;
    }
    return std::nullopt;
}

}  // namespace tavro::trace
