#include "mainwindow/status_speech.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavro::ui {
namespace {

// Plays the captions of a run, beat by beat, as the window shows them, and gathers what
// is said and when: the announcer asks at every due time.
struct SpokenRun {
    StatusSpeech speech;
    std::vector<std::pair<std::int64_t, std::string>> said;
    std::int64_t now = 0;

    void beat(std::int64_t atMs, int speed, int pass, int passes = 2)
    {
        advanceTo(atMs);
        speech.shown(StatusLabel::Speed, std::to_string(speed), now);
        speech.shown(StatusLabel::Bar, "1", now);
        speech.shown(StatusLabel::Repeat, std::to_string(pass), now);
        speech.shown(StatusLabel::RepeatTotal, std::to_string(passes), now);
        advanceTo(now);
    }
    void advanceTo(std::int64_t atMs)
    {
        while (speech.dueAt() && *speech.dueAt() <= atMs) {
            now = std::max(now, *speech.dueAt());
            if (auto text = speech.take(now))
                said.emplace_back(now, *text);
        }
        now = atMs;
    }
};

TEST(StatusSpeech, SaysEachStepAndPassOfASlowRunAndTheMaximum)
{
    SpokenRun run;
    run.speech.runStarted({"70"});
    // 60 then 70 beats per minute, 4 beats a pass, 2 passes a speed.
    std::int64_t t = 1000;
    for (int speed : {60, 70})
        for (int pass = 1; pass <= 2; ++pass)
            for (int beat = 0; beat < 4; ++beat, t += 60000 / speed)
                run.beat(t, speed, pass);
    std::vector<std::string> texts;
    for (const auto& [at, text] : run.said)
        texts.push_back(text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "Speed 60 beats per minute, pass 1 of 2", "Pass 2 of 2",
                         "Speed 70 beats per minute, the maximum, pass 1 of 2", "Pass 2 of 2"}));
}

TEST(StatusSpeech, AFastRunIsSaidAtItsSpacingWithTheLatestSpeedAndNoPasses)
{
    SpokenRun run;
    run.speech.runStarted({"351"});
    // 2 beats a pass at about 300 beats per minute: a step every 0.8 s.
    std::int64_t t = 0;
    for (int step = 0; step < 20; ++step)
        for (int pass = 1; pass <= 2; ++pass)
            for (int beat = 0; beat < 2; ++beat, t += 200)
                run.beat(t, std::min(300 + step * 5, 351), pass);
    run.advanceTo(t + 10000);
    ASSERT_GE(run.said.size(), 3u);
    for (std::size_t i = 1; i < run.said.size(); ++i) {
        EXPECT_GE(run.said[i].first - run.said[i - 1].first, StatusSpeech::kSpacingMs);
        EXPECT_EQ(run.said[i].second.find("ass"), std::string::npos) << run.said[i].second;
    }
    EXPECT_EQ(run.said.back().second, "Speed 351 beats per minute, the maximum");
}

TEST(StatusSpeech, ANewRunSaysItsSpeedFromItsFirstBeatEvenWhenUnchanged)
{
    SpokenRun run;
    run.speech.runStarted({"100"});
    run.beat(0, 60, 1);
    run.advanceTo(5000);
    run.speech.runStarted({"100"});
    run.advanceTo(6000);
    EXPECT_EQ(run.said.size(), 1u);  // nothing before the new run's first beat
    run.beat(7000, 60, 1);
    ASSERT_EQ(run.said.size(), 2u);
    EXPECT_EQ(run.said.back().second, "Speed 60 beats per minute, pass 1 of 2");
}

}  // namespace
}  // namespace tavro::ui
