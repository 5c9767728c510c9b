#pragma once

#include "playback/beat_schedule.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>

namespace tavro::playback {

// The main window's beat clock (Timer1): a periodic timer whose expiries follow a fixed
// grid on the monotonic clock, so a run keeps time however late each handler runs.
//
// - Every expiry is scheduled from the previous scheduled expiry, not from when the
//   handler ran; Qt's precise single-shot timer is re-armed for each deadline.
// - Setting the interval restarts the count: from the scheduled time of the expiry
//   being handled when set inside an expiry handler (a speed step adds no drift),
//   otherwise from the moment of the call.
// - After a stall longer than an interval one late expiry is delivered and the missed
//   grid points are skipped (see nextBeatDeadline).
// - Deadlines lie on whole milliseconds of the clock, so a beat's deadline converts to an
//   exact audio frame.
// - With a lookahead, each expiry is delivered that long before its deadline, so what
//   its handler asks for can be prepared for the deadline itself (beatTime()).
// - expired() is never emitted inside its own handler. It may be emitted inside other
//   handlers' nested event loops (a modal message box), which keeps a run in time
//   under the About box.
class BeatTimer : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<BeatClock::time_point()>;

    // Manual delivery leaves out the Qt timer: deadlines are still kept, and expiries
    // come only from expire(). Tests use it to deliver beats without waiting.
    enum class Delivery { Automatic, Manual };

    explicit BeatTimer(QObject* parent = nullptr, Delivery delivery = Delivery::Automatic,
                       Clock clock = &BeatClock::now);

    // Begins counting `milliseconds` from now.
    void start(std::int32_t milliseconds);
    void stop();
    bool isActive() const { return active_; }

    // The last interval set; reading it never changes the schedule.
    std::int32_t interval() const { return interval_; }
    void setInterval(std::int32_t milliseconds);

    BeatClock::time_point nextDeadline() const { return next_; }
    // The clock the deadlines are on.
    BeatClock::time_point now() const { return clock_(); }

    // How long before its deadline each expiry is delivered.
    void setLookahead(std::chrono::milliseconds lookahead);

    // The deadline of the expiry being handled (valid inside expired()'s handlers).
    BeatClock::time_point beatTime() const { return expiryScheduled_; }

    // Delivers the expiry that is due next, as the precise timer does at its deadline.
    void expire();

signals:
    void expired();
    // The next deadline has been set: after each expiry, a start or a new interval.
    void rescheduled(tavro::playback::BeatClock::time_point deadline);

private:
    void arm();
    void onTimeout();
    void restartFromNow(std::int32_t milliseconds);

    QTimer timer_;
    Delivery delivery_;
    Clock clock_;
    std::int32_t interval_ = 0;
    std::chrono::milliseconds lookahead_{0};
    bool active_ = false;
    BeatClock::time_point next_{};

    // While an expiry is being handled: its scheduled time, and whether the handler
    // restarted the count from it.
    bool inExpiry_ = false;
    bool restartedInExpiry_ = false;
    BeatClock::time_point expiryScheduled_{};
};

}  // namespace tavro::playback
