#pragma once

#include <array>
#include <string>
#include <string_view>

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

// One topic of the help window: the button that shows it, the title shown above its
// text, and which text it shows and how that text is built.
struct HelpTopic {
    std::string_view button;   // object name of the topic's button
    std::string_view caption;  // the button's caption
    std::string_view title;    // the title label's caption while the topic is shown
    std::string HelpTexts::*text;
    void (*build)(std::string& text);  // replaces the text, never appends to it
};

// The five topics in the order their buttons stand on screen, from the top: Overview,
// Metronome, Building Speed, Linear Increase, Skip Increase. The first is the one a
// new window shows.
extern const std::array<HelpTopic, 5> kHelpTopics;

// Builds the five texts in the order of kHelpTopics. Each text is replaced, never
// appended to, so building into texts that already hold something gives the same
// result as building into empty ones.
void buildHelpTexts(HelpTexts& texts);

}  // namespace tavro
