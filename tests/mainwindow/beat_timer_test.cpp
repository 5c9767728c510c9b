#include "mainwindow/beat_schedule.h"
#include "mainwindow/beat_timer.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace std::chrono_literals;
using tavro::BeatClock;
using tavro::nextBeatDeadline;
using tavro::ui::BeatTimer;

const BeatClock::time_point t0 = BeatClock::time_point(10h);

TEST(NextBeatDeadline, LateDeliveryKeepsTheGrid)
{
    // Each expiry runs up to 80% of an interval late; the deadlines stay on the grid.
    BeatClock::time_point scheduled = t0;
    const std::vector<std::chrono::milliseconds> lateness{0ms, 3ms, 180ms, 799ms, 1ms, 450ms};
    for (std::size_t k = 0; k < lateness.size(); ++k) {
        scheduled = nextBeatDeadline(scheduled, 1000ms, scheduled + lateness[k]);
        EXPECT_EQ(scheduled, t0 + (k + 1) * 1000ms) << k;
    }
}

TEST(NextBeatDeadline, AStallSkipsTheMissedGridPointsInsteadOfBursting)
{
    EXPECT_EQ(nextBeatDeadline(t0, 500ms, t0 + 1250ms), t0 + 1500ms);
    EXPECT_EQ(nextBeatDeadline(t0, 500ms, t0 + 500ms), t0 + 500ms);   // due now: not missed
    EXPECT_EQ(nextBeatDeadline(t0, 500ms, t0 + 1000ms), t0 + 1000ms);
    EXPECT_EQ(nextBeatDeadline(t0, 500ms, t0 + 1001ms), t0 + 1500ms);
    EXPECT_EQ(nextBeatDeadline(t0, 240ms, t0 + 10s), t0 + 10080ms);
}

TEST(NextBeatDeadline, AnIntervalBelowOneMillisecondStillMovesForward)
{
    EXPECT_EQ(nextBeatDeadline(t0, 0ms, t0), t0 + 1ms);
    EXPECT_EQ(nextBeatDeadline(t0, -20ms, t0 + 5ms), t0 + 5ms);
}

// Timer1 driven by a fake clock; expiries are delivered by the test.
class BeatTimerTest : public ::testing::Test {
protected:
    BeatTimerTest() : timer(nullptr, BeatTimer::Delivery::Manual, [this] { return now; }) {}

    // Lets the clock reach `at` and delivers the expiry that is due.
    void expireAt(BeatClock::time_point at)
    {
        now = at;
        timer.expire();
    }

    BeatClock::time_point now = t0;
    BeatTimer timer;
    int expiries = 0;
};

TEST_F(BeatTimerTest, CountsFromStartAndFromEachScheduledExpiry)
{
    QObject::connect(&timer, &BeatTimer::expired, [this] { ++expiries; });
    timer.start(1000);
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 1000);
    EXPECT_EQ(timer.nextDeadline(), t0 + 1000ms);

    expireAt(t0 + 1040ms);  // handled late
    EXPECT_EQ(timer.nextDeadline(), t0 + 2000ms);
    expireAt(t0 + 2000ms);
    EXPECT_EQ(timer.nextDeadline(), t0 + 3000ms);
    EXPECT_EQ(expiries, 2);
}

TEST_F(BeatTimerTest, SettingTheIntervalOutsideAnExpiryRestartsFromTheCall)
{
    timer.start(1000);
    now = t0 + 400ms;
    timer.setInterval(240);
    EXPECT_EQ(timer.interval(), 240);
    EXPECT_EQ(timer.nextDeadline(), t0 + 640ms);
    expireAt(t0 + 700ms);
    EXPECT_EQ(timer.nextDeadline(), t0 + 880ms);
}

TEST_F(BeatTimerTest, SettingTheIntervalInsideAnExpiryRestartsFromItsScheduledTime)
{
    // The handler runs 90 ms late and sets a new interval, as a speed step does.
    QObject::connect(&timer, &BeatTimer::expired, [this] { timer.setInterval(923); });
    timer.start(1000);
    expireAt(t0 + 1090ms);
    EXPECT_EQ(timer.interval(), 923);
    EXPECT_EQ(timer.nextDeadline(), t0 + 1923ms);
}

TEST_F(BeatTimerTest, AnExpiryIsNeverDeliveredInsideItsOwnHandler)
{
    QObject::connect(&timer, &BeatTimer::expired, [this] {
        ++expiries;
        timer.expire();
    });
    timer.start(100);
    expireAt(t0 + 100ms);
    EXPECT_EQ(expiries, 1);
    EXPECT_EQ(timer.nextDeadline(), t0 + 200ms);
}

TEST_F(BeatTimerTest, AStoppedTimerDeliversNothing)
{
    QObject::connect(&timer, &BeatTimer::expired, [this] { ++expiries; });
    timer.start(100);
    timer.stop();
    expireAt(t0 + 100ms);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(expiries, 0);
}

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
