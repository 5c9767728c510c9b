#include "playback/beat_schedule.h"

#include <algorithm>

namespace tavro::playback {

BeatClock::time_point nextBeatDeadline(BeatClock::time_point scheduled,
                                       std::chrono::milliseconds interval,
                                       BeatClock::time_point now)
{
    const BeatClock::duration step = std::max(interval, std::chrono::milliseconds(1));
    BeatClock::time_point next = scheduled + step;
    if (next < now) {
        // Whole steps already missed; one more lands on or after `now`.
        const auto missed = (now - next) / step;
        next += missed * step;
        if (next < now) {
            next += step;
        }
    }
    return next;
}

}  // namespace tavro::playback
