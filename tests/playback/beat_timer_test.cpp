#include "playback/beat_schedule.h"
#include "playback/beat_timer.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using tavro::playback::BeatClock;
using tavro::playback::BeatTimer;
using tavro::playback::nextBeatDeadline;

const BeatClock::time_point t0 = BeatClock::time_point(10h);

// The next deadline follows the grid of scheduled times, however late the expiry ran;
// after a stall the grid points already passed are skipped, not delivered in a burst.
TEST(NextBeatDeadline, KeepsTheGridAndSkipsWhatAStallMissed)
{
    const struct {
        std::chrono::milliseconds interval, late, next;
    } cases[] = {
        {1000ms, 0ms, 1000ms},   {1000ms, 799ms, 1000ms}, {500ms, 500ms, 500ms},
        {500ms, 1000ms, 1000ms}, {500ms, 1001ms, 1500ms}, {500ms, 1250ms, 1500ms},
        {240ms, 10s, 10080ms},   {0ms, 0ms, 1ms},         {-20ms, 5ms, 5ms},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nextBeatDeadline(t0, c.interval, t0 + c.late), t0 + c.next)
            << c.interval.count() << " ms, " << c.late.count() << " ms late";
}

// Counting from START and from a speed step, on the fake clock, is shown through the
// window in form1_run_test.cpp.
TEST(BeatTimerOnTheRealClock, DeliversExpiriesOnTheGridOfItsStart)
{
    BeatTimer timer;
    QSignalSpy spy(&timer, &BeatTimer::expired);
    timer.start(20);
    const BeatClock::time_point first = timer.nextDeadline();
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() >= 3; }, 5000));
    timer.stop();
    // However late each expiry ran, later deadlines are whole intervals after the first.
    EXPECT_EQ((timer.nextDeadline() - first) % 20ms, 0ms);
    EXPECT_GE(timer.nextDeadline() - first, 3 * 20ms);
}

}  // namespace
