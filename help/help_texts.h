#pragma once

#include <string>

namespace tavro {

// Lines of a help text are separated by a carriage return alone; two in a row make an
// empty line. No text starts or ends with one, and none holds a line feed.
inline constexpr char kHelpLineBreak = '\r';

// The five topic texts of the help window, built when the window is created and never
// changed afterwards.
struct HelpTexts {
    std::string overviewtext;
    std::string metronometext;
    std::string buildingtext;
    std::string lineartext;
    std::string skiptext;
};

// Builds the five texts in the order Overview, Metronome, Building Speed, Linear
// Increase, Skip Increase. Each text is replaced, never appended to, so building into
// texts that already hold something gives the same result as building into empty ones.
void buildHelpTexts(HelpTexts& texts);

}  // namespace tavro
