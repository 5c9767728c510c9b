#pragma once

#include <chrono>

namespace tavro::playback {

using BeatClock = std::chrono::steady_clock;

// Where the next expiry of the beat clock belongs, given the scheduled time of the
// expiry just delivered (not the time it actually ran), the interval, and the present.
//
// Normally that is `scheduled + interval`, so late delivery never shifts the grid and
// the run does not drift. When the user interface was stalled for longer than an
// interval, the grid points already passed are skipped rather than delivered in a
// burst of catch-up beats: the result is the first grid point that is not in the past.
// An interval below one millisecond is treated as one millisecond, so the schedule
// always moves forward.
BeatClock::time_point nextBeatDeadline(BeatClock::time_point scheduled,
                                       std::chrono::milliseconds interval,
                                       BeatClock::time_point now);

}  // namespace tavro::playback
