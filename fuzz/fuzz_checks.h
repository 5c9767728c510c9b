#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tests/support/label_text.h"

namespace tavro::fuzz {

// A broken property is a crash, so libFuzzer keeps the input that shows it.
[[noreturn]] inline void fail(const char* what, std::string_view detail = {})
{
    std::fprintf(stderr, "property broken: %s [%.*s]\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

inline void require(bool holds, const char* what, std::string_view detail = {})
{
    if (!holds)
        fail(what, detail);
}

// The text the cleaning of START leaves in a box: everything before the first full stop.
inline std::string cutAtFullStop(std::string_view text)
{
    return std::string(text.substr(0, text.find('.')));
}

using test::isWellFormedLabel;

}  // namespace tavro::fuzz
