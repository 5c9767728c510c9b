#pragma once

#include <string>

namespace tavro {

// The text of the About box: ten lines separated by a carriage return alone, nothing
// after the last: name, authorship, rights, empty, "Email:", two addresses, empty,
// "Webpage:", web address.
std::string aboutText();

inline constexpr const char* kAboutTitle = "About";

}  // namespace tavro
