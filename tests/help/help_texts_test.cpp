#include "help/help_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Built twice into the same texts, as a second build must replace and never append.
// The Overview's about block is worded by the program; its shape is fixed.
TEST(HelpTexts, TopicsHaveTheirLengthsLineBreaksAndShape)
{
    tavro::HelpTexts texts;
    tavro::buildHelpTexts(texts);
    tavro::buildHelpTexts(texts);
    const struct {
        const std::string& text;
        std::size_t length;
        long breaks;
    } topics[] = {{texts.metronometext, 788, 12},
                  {texts.buildingtext, 390, 4},
                  {texts.lineartext, 895, 17},
                  {texts.skiptext, 674, 16},
                  {texts.overviewtext, texts.overviewtext.size(), 11}};
    for (const auto& topic : topics) {
        EXPECT_EQ(topic.text.size(), topic.length) << topic.text;
        EXPECT_EQ(std::count(topic.text.begin(), topic.text.end(), '\r'), topic.breaks);
        EXPECT_EQ(topic.text.find('\n'), std::string::npos);
        EXPECT_NE(topic.text.front(), '\r');
        EXPECT_NE(topic.text.back(), '\r');
    }

    std::vector<std::string> lines;
    std::istringstream overview(texts.overviewtext);
    for (std::string line; std::getline(overview, line, '\r');)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0].rfind(" Tavro Metronome ", 0), 0u) << lines[0];
    EXPECT_GT(lines[0].size(), 30u);
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(lines[i].empty(), i == 2 || i == 4 || i == 10) << "line " << i + 1;
    // The rights notice names the licence the program ships with, in one short line that
    // keeps the About box as wide as it was.
    EXPECT_NE(lines[1].find("GNU GPL v3 or later"), std::string::npos) << lines[1];
    EXPECT_LE(lines[1].size(), 60u);
    EXPECT_EQ(lines[5].back(), ':');
    EXPECT_EQ(lines[11],
              "The program is designed as a learning aid for those musicians wishing to gain "
              "a bit of speed.  And lets face it, who doesn't!");
}

}  // namespace
