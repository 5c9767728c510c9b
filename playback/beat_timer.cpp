#include "playback/beat_timer.h"

#include <algorithm>
#include <chrono>

namespace tavro::playback {

namespace {

std::chrono::milliseconds millis(std::int32_t value) { return std::chrono::milliseconds(value); }

}  // namespace

BeatTimer::BeatTimer(QObject* parent, Delivery delivery, Clock clock)
    : QObject(parent),
      delivery_(delivery),
      clock_(std::move(clock))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &BeatTimer::onTimeout);
}

void BeatTimer::start(std::int32_t milliseconds)
{
    active_ = true;
    interval_ = milliseconds;
    restartFromNow(milliseconds);
}

void BeatTimer::stop()
{
    active_ = false;
    timer_.stop();
}

void BeatTimer::setLookahead(std::chrono::milliseconds lookahead)
{
    lookahead_ = std::max(lookahead, std::chrono::milliseconds(0));
    if (active_ && !inExpiry_)
        arm();
}

void BeatTimer::setInterval(std::int32_t milliseconds)
{
    interval_ = milliseconds;
    if (!active_) {
        return;
    }
    if (inExpiry_) {
        // Armed once the handler returns, so the new count starts on the grid.
        restartedInExpiry_ = true;
        next_ = nextBeatDeadline(expiryScheduled_, millis(milliseconds), clock_());
        return;
    }
    restartFromNow(milliseconds);
}

void BeatTimer::restartFromNow(std::int32_t milliseconds)
{
    // Counting from the whole millisecond keeps every later deadline on whole milliseconds.
    const auto now = std::chrono::floor<std::chrono::milliseconds>(clock_());
    next_ = nextBeatDeadline(now, millis(milliseconds), now);
    arm();
    emit rescheduled(next_);
}

void BeatTimer::onTimeout()
{
    // The clock may run a little slower than the system's timers (a sound card's clock
    // does): wait for the rest rather than deliver early.
    if (clock_() < next_ - lookahead_ - std::chrono::milliseconds(1)) {
        arm();
        return;
    }
    expire();
}

void BeatTimer::expire()
{
    if (!active_ || inExpiry_) {
        return;
    }
    timer_.stop();
    inExpiry_ = true;
    restartedInExpiry_ = false;
    expiryScheduled_ = next_;
    emit expired();
    inExpiry_ = false;
    if (!active_) {
        return;
    }
    if (!restartedInExpiry_) {
        next_ = nextBeatDeadline(expiryScheduled_, millis(interval_), clock_());
    }
    arm();
    emit rescheduled(next_);
}

void BeatTimer::arm()
{
    if (delivery_ == Delivery::Manual || !active_) {
        return;
    }
    // Rounded up, so the timer never fires before the moment it serves.
    const auto remaining =
        std::chrono::ceil<std::chrono::milliseconds>(next_ - lookahead_ - clock_());
    timer_.start(std::max(remaining, std::chrono::milliseconds(0)));
}

}  // namespace tavro::playback
