#include "playback/beat_recorder.h"

#include "engine/headless_window.h"
#include "engine/metronome.h"

#include <gtest/gtest.h>

#include <vector>

namespace tavro::playback {
namespace {

// The engine talking to the window through the recorder, as in the main window; the
// headless window stands in for the widgets.
class BeatRecorderTest : public ::testing::Test {
protected:
    BeatRecorderTest() { engine.Form_Load(); }

    RecordedBeat tick()
    {
        return recorder.record([this] { engine.Timer1_Timer(); });
    }

    HeadlessWindow window;
    BeatRecorder recorder{window};
    Metronome engine{recorder};
};

// A counted beat's captions and beeps wait in the recorded beat; what the tick sets and
// reads besides is the window's at once: the speed step's interval, read back for the
// speed caption.
TEST_F(BeatRecorderTest, ABeatReachesTheWindowOnlyWhenShown)
{
    window.typeBoxText(Box::Length, "1");
    window.typeBoxText(Box::Intro, "0");
    window.typeBoxText(Box::Repeat, "1");
    engine.Command2_Click();
    for (int beat = 1; beat <= 4; ++beat)
        tick().showOn(window);
    ASSERT_EQ(window.caption(StatusLabel::Beat), "4");

    const RecordedBeat step = tick();  // the first beat of the next pass takes a speed step
    EXPECT_EQ(window.timerInterval(), 923);
    EXPECT_EQ(window.caption(StatusLabel::Speed), "60");
    EXPECT_EQ(window.caption(StatusLabel::Beat), "4");
    EXPECT_EQ(step.beeps, 8);

    step.showOn(window);
    EXPECT_EQ(window.caption(StatusLabel::Speed), "65");
    EXPECT_EQ(window.caption(StatusLabel::Beat), "1");
    EXPECT_EQ(window.beepsSounded(), 0u);  // the click player sounds the beeps, not the window
}

// Only a tick of a run has labels to change; the window waits for no other.
TEST_F(BeatRecorderTest, OnlyARunsTicksHaveCaptionsToShow)
{
    EXPECT_FALSE(tick().writesCaptions());
    engine.Command2_Click();
    EXPECT_TRUE(tick().writesCaptions());
    engine.Command4_Click();  // paused
    EXPECT_FALSE(tick().writesCaptions());
    engine.Command4_Click();
    engine.Command3_Click();  // stopped
    EXPECT_FALSE(tick().writesCaptions());
}

// The click of the coming beat is published before its tick runs: the forecast must be
// what the tick then asks for, in every run state and at every volume.
TEST_F(BeatRecorderTest, TheComingBeatSoundsAsForecast)
{
    std::vector<int> forecasts;
    auto expectTheForecastHolds = [&](const char* when) {
        forecasts.push_back(comingBeatBeeps(engine.state()));
        EXPECT_EQ(tick().beeps, forecasts.back()) << when;
    };
    expectTheForecastHolds("before START");
    engine.Command2_Click();
    expectTheForecastHolds("running");
    engine.mnuhigh_Click();
    expectTheForecastHolds("High");
    engine.mnulow_Click();
    expectTheForecastHolds("Low");
    engine.Command4_Click();
    expectTheForecastHolds("paused");
    engine.Command4_Click();
    expectTheForecastHolds("resumed");
    engine.Command3_Click();
    expectTheForecastHolds("stopped");
    EXPECT_EQ(forecasts, (std::vector<int>{0, 8, 15, 2, 0, 2, 0}));
}

}  // namespace
}  // namespace tavro::playback
