#pragma once

#include <string>
#include <string_view>

namespace tavro::plan {

// A value or file name as messages show it: in single quotes ('x.wav'), or, when it
// holds a control character, a byte that is not part of UTF-8 text or a single quote, in
// the shell's $'...' form with backslash escapes ($'\033]0;x\a'), so that nothing a user
// typed acts on the terminal, and what is shown can be typed back into a shell.
std::string shellQuoted(std::string_view text);

}  // namespace tavro::plan
