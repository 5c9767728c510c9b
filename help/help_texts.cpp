#include "help/help_texts.h"

#include "help/about_info.h"

#include <initializer_list>
#include <string_view>

namespace tavro {

namespace {

// Assigns the first line (dropping whatever the text held) and appends each further
// line after one carriage return; an empty line adds only its carriage return.
void setLines(std::string& text, std::initializer_list<std::string_view> lines)
{
    bool first = true;
    for (std::string_view line : lines) {
        if (first) {
            text.assign(line);
            first = false;
        } else {
            text += kHelpLineBreak;
            text += line;
        }
    }
}

std::string authorshipHeadline()
{
    std::string line = " ";
    line += about::kProductName;
    line += " - ";
    line += about::kAuthorshipLine;
    return line;
}

void buildOverview(std::string& text)
{
    setLines(text,
             {
                 authorshipHeadline(),
                 about::kRightsNotice,
                 "",
                 "This program is free software.  You may pass it on, with or without changes, "
                 "under the terms of the GNU General Public License, version 3 or later, which "
                 "comes with it.  It comes with no warranty.",
                 "",
                 "Donations, praise and fault reports are always welcome, and can be sent to:",
                 about::kAuthorName,
                 about::kEmailPrimary,
                 about::kEmailSecondary,
                 about::kWebPage,
                 "",
                 "The program is designed as a learning aid for those musicians wishing to gain a "
                 "bit of speed.  And lets face it, who doesn't!",
             });
}

void buildMetronome(std::string& text)
{
    setLines(text,
             {
                 "To use the program as a 'normal' metronome, simply use the settings:",
                 "LENGTH = the number of bars you want it to continue for (min 1, max 999)",
                 "INTRO = 0",
                 "REPEAT = 1",
                 "STARTING SPEED =  the speed you wish it to start at (min 30 beats/min, max 250 "
                 "beats/min)",
                 "SKIP INCREASE = default setting (it won't be used)",
                 "LINEAR INCREASE = default setting (it won't be used)",
                 "",
                 "The timing (either 4/4, 3/4, 2/4) should be selected from the timing frame.",
                 "",
                 "To start hit the START button.  The metronome can be paused at any time using "
                 "the PAUSE button, and restarted by hitting the PAUSE button again.  STOP will "
                 "stop the metronome, requiring START to be pressed in order to start again.  QUIT "
                 "will exit the program.",
                 "",
                 "Volume of the metronome can be controlled using the VOLUME menu, either HIGH, "
                 "MEDIUM or LOW.",
             });
}

void buildBuildingSpeed(std::string& text)
{
    setLines(
        text,
        {
            "To build speed, the metronome can be made to increase in speed in one of two ways.",
            "",
            "a) Linear increase.  The metronome increases by a set amount each increase until the "
            "maximum speed is reached.",
            "",
            "b) Skip increase.  The metronome skips forward by a large amount, and then back to a "
            "speed slightly higher than the original.  Then skips forward by a large amount, then "
            "back again and so forth.",
        });
}

void buildLinearIncrease(std::string& text)
{
    setLines(text, {
                       "The metronome can be made to increase by a regular amount (linearly), by "
                       "putting a value into the LINEAR INCREASE box (between 1 and 40 beats/min). "
                       " In the increase type frame, LINEAR should be selected.  The number of "
                       "repeats required at each speed should be entered into the REPEAT box, and "
                       "the number of bars introduction in the INTRO box.  The maximum speed to be "
                       "attained should be entered into the MAXIUMUM SPEED box.",
                       "",
                       "When the metronome is started, it will run at the starting speed for the "
                       "number of bars (and repeats) entered, and then increase by the amount "
                       "entered.  This process will continue until the maximum speed is reached, "
                       "at which the metronome will remain until stopped.",
                       "",
                       "EXAMPLE.",
                       "START SPEED = 100 beats/min",
                       "MAX SPEED = 170 beats/min",
                       "LINEAR INCREASE = 10 beats/min",
                       "",
                       "Speed increase:",
                       "START 100",
                       "LINEAR 110",
                       "LINEAR 120",
                       "LINEAR 130",
                       "LINEAR 140",
                       "LINEAR 150",
                       "LINEAR 160",
                       "LINEAR 170 (max)",
                   });
}

void buildSkipIncrease(std::string& text)
{
    setLines(text, {
                       "In this mode, the metronome will increase from the starting speed by the "
                       "SKIP INCREASE value, and then increase from the starting speed by the "
                       "LINEAR INCREASE value, a decrease from the skip increase speed. This then "
                       "continues until the maximum speed is reached.  For the metronome to work "
                       "in this mode, SKIP must be selected in the increase type frame.",
                       "",
                       "Example.",
                       "START SPEED = 100 beats/min",
                       "MAX SPEED = 170 beats/min",
                       "SKIP INCREASE = 40 beats/min",
                       "LINEAR INCREASE = 10 beats/min",
                       "",
                       "Speed increase:",
                       "START 100",
                       "SKIP 140 LINEAR 110",
                       "SKIP 150 LINEAR 120",
                       "SKIP 160 LINEAR 130",
                       "SKIP 170 (max) LINEAR 140",
                       "SKIP 170 (max) LINEAR 150",
                       "SKIP 170 (max) LINEAR 160",
                       "SKIP 170 (max) LINEAR 170 (max)",
                   });
}

}  // namespace

const std::array<HelpTopic, 5> kHelpTopics{{
    {"cmdNextTip", "Overview", "OVERVIEW", &HelpTexts::overviewtext, buildOverview},
    {"Command1", "Metronome", "METRONOME", &HelpTexts::metronometext, buildMetronome},
    {"Command2", "Building Speed", "BUILDING SPEED", &HelpTexts::buildingtext, buildBuildingSpeed},
    {"Command5", "Linear Increase", "LINEAR INCREASE", &HelpTexts::lineartext, buildLinearIncrease},
    {"Command4", "Skip Increase", "SKIP INCREASE", &HelpTexts::skiptext, buildSkipIncrease},
}};

void buildHelpTexts(HelpTexts& texts)
{
    for (const HelpTopic& topic : kHelpTopics) {
        topic.build(texts.*topic.text);
    }
}

}  // namespace tavro
