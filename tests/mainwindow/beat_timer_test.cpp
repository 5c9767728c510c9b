#include "mainwindow/beat_schedule.h"
#include "mainwindow/beat_timer.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using tavro::BeatClock;
using tavro::nextBeatDeadline;
using tavro::ui::BeatTimer;

const BeatClock::time_point t0 = BeatClock::time_point(10h);

// The next deadline follows the grid of scheduled times, however late the expiry ran;
// after a stall the grid points already passed are skipped, not delivered in a burst.
TEST(NextBeatDeadline, KeepsTheGridAndSkipsWhatAStallMissed)
{
    const struct {
        std::chrono::milliseconds interval, late, next;
    } cases[] = {
        {1000ms, 0ms, 1000ms},  {1000ms, 799ms, 1000ms}, {500ms, 500ms, 500ms},
        {500ms, 1000ms, 1000ms}, {500ms, 1001ms, 1500ms}, {500ms, 1250ms, 1500ms},
        {240ms, 10s, 10080ms},  {0ms, 0ms, 1ms},          {-20ms, 5ms, 5ms},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nextBeatDeadline(t0, c.interval, t0 + c.late), t0 + c.next)
            << c.interval.count() << " ms, " << c.late.count() << " ms late";
}

// Timer1 on a fake clock; expiries are delivered by the test.
class BeatTimerTest : public ::testing::Test {
protected:
    BeatTimerTest() : timer(nullptr, BeatTimer::Delivery::Manual, [this] { return now; })
    {
        QObject::connect(&timer, &BeatTimer::expired, [this] { ++expiries; });
    }

    void expireAt(BeatClock::time_point at)
    {
        now = at;
        timer.expire();
    }

    BeatClock::time_point now = t0;
    BeatTimer timer;
    int expiries = 0;
};

TEST_F(BeatTimerTest, CountsFromStartFromEachScheduledExpiryAndFromANewInterval)
{
    timer.start(1000);
    EXPECT_EQ(timer.nextDeadline(), t0 + 1000ms);
    expireAt(t0 + 1040ms);  // handled late
    EXPECT_EQ(timer.nextDeadline(), t0 + 2000ms);

    // Set outside an expiry, a new interval counts from the call.
    now = t0 + 2400ms;
    timer.setInterval(240);
    EXPECT_EQ(timer.nextDeadline(), t0 + 2640ms);
    expireAt(t0 + 2700ms);
    EXPECT_EQ(timer.nextDeadline(), t0 + 2880ms);

    timer.stop();
    expireAt(t0 + 2880ms);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(expiries, 2);
}

// Set inside an expiry, as a speed step does, a new interval counts from the expiry's
// scheduled time, so the step adds no drift; and the expiry is never re-entered.
TEST_F(BeatTimerTest, AnIntervalSetInsideAnExpiryCountsFromItsScheduledTime)
{
    QObject::connect(&timer, &BeatTimer::expired, [this] {
        timer.setInterval(923);
        timer.expire();
    });
    timer.start(1000);
    expireAt(t0 + 1090ms);
    EXPECT_EQ(expiries, 1);
    EXPECT_EQ(timer.nextDeadline(), t0 + 1923ms);
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
