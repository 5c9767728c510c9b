#pragma once

#include <string>
#include <string_view>

namespace tavro::trace {

// `text` in double quotes as trace lines write it: backslash, double quote, tab, line
// feed and carriage return escaped (\\ \" \t \n \r), every other byte as itself, so a
// line of the trace never breaks and the script reader reads it back unchanged.
std::string quoteText(std::string_view text);

}  // namespace tavro::trace
