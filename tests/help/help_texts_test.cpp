#include "help/about_info.h"
#include "help/help_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using tavro::HelpTexts;

HelpTexts built()
{
    HelpTexts texts;
    tavro::buildHelpTexts(texts);
    return texts;
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find('\r', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return lines;
        }
        start = end + 1;
    }
}

long crCount(const std::string& text) { return std::count(text.begin(), text.end(), '\r'); }

TEST(HelpTexts, FixedTopicsHaveTheirLengthsAndLineBreaks)
{
    const HelpTexts texts = built();
    EXPECT_EQ(texts.metronometext.size(), 788u);
    EXPECT_EQ(crCount(texts.metronometext), 12);
    EXPECT_EQ(texts.buildingtext.size(), 390u);
    EXPECT_EQ(crCount(texts.buildingtext), 4);
    EXPECT_EQ(texts.lineartext.size(), 895u);
    EXPECT_EQ(crCount(texts.lineartext), 17);
    EXPECT_EQ(texts.skiptext.size(), 674u);
    EXPECT_EQ(crCount(texts.skiptext), 16);
}

TEST(HelpTexts, NoTextStartsOrEndsWithABreakOrHoldsALineFeed)
{
    const HelpTexts texts = built();
    for (const std::string* text : {&texts.overviewtext, &texts.metronometext,
                                    &texts.buildingtext, &texts.lineartext, &texts.skiptext}) {
        ASSERT_FALSE(text->empty());
        EXPECT_NE(text->front(), '\r');
        EXPECT_NE(text->back(), '\r');
        EXPECT_EQ(text->find('\n'), std::string::npos);
    }
}

TEST(HelpTexts, OverviewHasTheAboutBlockShape)
{
    const std::vector<std::string> lines = linesOf(built().overviewtext);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[0].rfind(" Tavro Metronome", 0), 0u) << lines[0];
    EXPECT_GT(lines[0].size(), std::string(" Tavro Metronome").size() + 10);
    EXPECT_TRUE(lines[2].empty());
    EXPECT_TRUE(lines[4].empty());
    EXPECT_TRUE(lines[10].empty());
    for (int filled : {1, 3, 5, 6, 7, 8, 9}) {
        EXPECT_FALSE(lines[filled].empty()) << "line " << filled + 1;
    }
    EXPECT_EQ(lines[5].back(), ':');
    EXPECT_EQ(lines[11],
              "The program is designed as a learning aid for those musicians wishing to gain "
              "a bit of speed.  And lets face it, who doesn't!");
}

// The About box shows the same authorship, notice and addresses as this block.
TEST(HelpTexts, OverviewAgreesWithTheAboutDetails)
{
    namespace about = tavro::about;
    const std::vector<std::string> lines = linesOf(built().overviewtext);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_NE(lines[0].find(about::kAuthorshipLine), std::string::npos);
    EXPECT_EQ(lines[1], about::kRightsNotice);
    EXPECT_EQ(lines[6], about::kAuthorName);
    EXPECT_EQ(lines[7], about::kEmailPrimary);
    EXPECT_EQ(lines[8], about::kEmailSecondary);
    EXPECT_EQ(lines[9], about::kWebPage);
}

TEST(HelpTexts, ExampleLinesSharedByLinearAndSkipAreWordedAlike)
{
    const HelpTexts texts = built();
    const std::vector<std::string> linear = linesOf(texts.lineartext);
    const std::vector<std::string> skip = linesOf(texts.skiptext);
    for (const char* shared : {"START SPEED = 100 beats/min", "MAX SPEED = 170 beats/min",
                               "LINEAR INCREASE = 10 beats/min", "Speed increase:",
                               "START 100"}) {
        EXPECT_NE(std::find(linear.begin(), linear.end(), shared), linear.end()) << shared;
        EXPECT_NE(std::find(skip.begin(), skip.end(), shared), skip.end()) << shared;
    }
    EXPECT_EQ(linear.at(4), "EXAMPLE.");
    EXPECT_EQ(skip.at(2), "Example.");
}

// Building again, as a window created afresh does, replaces the old texts.
TEST(HelpTexts, RebuildingReplacesRatherThanAppends)
{
    const HelpTexts first = built();
    HelpTexts again = first;
    again.overviewtext += "stale";
    tavro::buildHelpTexts(again);
    tavro::buildHelpTexts(again);
    EXPECT_EQ(again.overviewtext, first.overviewtext);
    EXPECT_EQ(again.metronometext, first.metronometext);
    EXPECT_EQ(again.buildingtext, first.buildingtext);
    EXPECT_EQ(again.lineartext, first.lineartext);
    EXPECT_EQ(again.skiptext, first.skiptext);
}

}  // namespace
