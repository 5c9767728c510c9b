#pragma once

#include "playback/beat_schedule.h"

#include <chrono>
#include <cstdint>
#include <functional>

namespace tavro::playback {

// The clock Timer1 runs on. While a sound stream plays, it is the stream's frame counter
// (what has been heard), so beats placed on it stay on the
// stream's samples however the sound card's clock differs from the system's; otherwise
// it runs on the system's monotonic clock. Changing between the two never makes it jump:
// it carries on from where the other left off.
class AudioTimeline {
public:
    using time_point = BeatClock::time_point;

    // The latest sample of a stream's played position: `frames` heard at steady time `at`.
    struct Position {
        std::int64_t frames = 0;
        time_point at{};
    };
    using PositionSource = std::function<Position()>;
    using SteadyClock = std::function<time_point()>;

    explicit AudioTimeline(SteadyClock steady = &BeatClock::now);

    time_point now() const;

    // A stream began and its frame 0 is heard at steady time `heardAt`; from now on the
    // clock follows `position`. Frame 0 is placed on a whole millisecond of the clock.
    void followStream(time_point heardAt, PositionSource position);
    // The stream is gone: the clock carries on from the system's monotonic clock.
    void followSteady();

    // The stream frame at which a moment of the clock is heard (only while following a
    // stream). Whole milliseconds give exact frames.
    std::int64_t frameAt(time_point moment) const;

private:
    SteadyClock steady_;
    // On the monotonic clock: this clock = steady + offset.
    BeatClock::duration offset_{0};
    // On a stream: this clock = frameZero_ + frames heard / sample rate.
    PositionSource position_;
    time_point frameZero_{};
};

}  // namespace tavro::playback
