#include "playback/audio_timeline.h"

#include "audio/click_schedule.h"

#include <gtest/gtest.h>

namespace tavro::playback {
namespace {

using namespace std::chrono_literals;
using audio::kFramesPerMillisecond;
using audio::kSampleRate;
using time_point = AudioTimeline::time_point;

const time_point start = time_point(5h);

struct Fixture {
    time_point steady = start;
    AudioTimeline::Position heard;  // what the stream reports
    AudioTimeline timeline{[this] { return steady; }};

    void follow(time_point frameZeroHeardAt)
    {
        heard = {0, frameZeroHeardAt};
        timeline.followStream(frameZeroHeardAt, [this] { return heard; });
    }
};

TEST(AudioTimeline, FollowsTheStreamsFramesNotTheSystemClock)
{
    Fixture f;
    f.steady = start + 1234567us;
    f.follow(f.steady + 40ms);  // the first frame is heard 40 ms after the stream starts
    const time_point zero = start + 1275ms;  // 1274.567 ms rounded to whole milliseconds
    EXPECT_EQ(f.timeline.frameAt(zero), 0);
    EXPECT_EQ(f.timeline.frameAt(zero + 1000ms), kSampleRate);
    EXPECT_EQ(f.timeline.frameAt(zero + 923ms * 1000), 923 * kSampleRate);

    // A sound card 100 ppm slow: after an hour of steady time the stream has played
    // 0.36 s less, and the clock says so.
    f.steady = zero + 3600s;
    f.heard = {static_cast<std::int64_t>(3600 * kSampleRate * (1 - 100e-6)), f.steady};
    EXPECT_EQ(f.timeline.frameAt(f.timeline.now()), f.heard.frames);
    EXPECT_NEAR(std::chrono::duration<double>(f.steady - f.timeline.now()).count(), 0.36, 1e-6);

    // Between two position samples it runs on at the nominal rate.
    f.steady += 10ms;
    EXPECT_EQ(f.timeline.frameAt(f.timeline.now()), f.heard.frames + 10 * kFramesPerMillisecond);
}

TEST(AudioTimeline, CarriesOnWithoutAJumpWhenTheStreamComesAndGoes)
{
    Fixture f;
    f.steady = start + 10s;
    EXPECT_EQ(f.timeline.now(), start + 10s);

    f.follow(f.steady);
    f.steady += 2s;
    f.heard = {2 * kSampleRate - 100 * kFramesPerMillisecond,
               f.steady};  // the stream is 100 ms behind the system
    const time_point before = f.timeline.now();
    f.timeline.followSteady();
    EXPECT_EQ(f.timeline.now(), before);
    f.steady += 500ms;
    EXPECT_EQ(f.timeline.now(), before + 500ms);

    // A new stream starts where the clock stands.
    f.follow(f.steady);
    EXPECT_EQ(f.timeline.frameAt(std::chrono::round<std::chrono::milliseconds>(f.timeline.now())),
              0);
}

}  // namespace
}  // namespace tavro::playback
