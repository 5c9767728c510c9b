#pragma once

#include <cstddef>
#include <string_view>

namespace tavro {

// Texts are UTF-8 (window_ops.h). The length of the well-formed UTF-8 sequence that
// begins at byte `at` of `text` (1 for ASCII), or 0 if none does: overlong forms,
// surrogates, code points beyond U+10FFFF, stray continuation bytes and cut sequences
// are not well-formed.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

}  // namespace tavro
