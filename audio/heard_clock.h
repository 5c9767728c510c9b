#pragma once

#include "audio/click_schedule.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace tavro::audio {

// Where a stream is heard, from the sound server's timing reports. Each report tells how
// many of the stream's frames had been heard at one moment (those the server had taken
// from the stream, less those its device still held); in between, the stream plays on at
// its nominal rate.
//
// A report that breaks the line of the one before by more than kJitterFrames is believed
// only once the next report confirms it. Right after the stream moved to another output,
// a server may report the new output's latency before the frames it took to fill it,
// which would put the heard position back by half a second until its next report.
// (libpulse's own interpolation takes such a report in and then lags what is heard by a
// fifth of a second for several seconds.)
class HeardClock {
public:
    using time_point = std::chrono::steady_clock::time_point;

    struct Report {
        std::int64_t frames = 0;  // heard by `at`
        time_point at{};
    };

    static constexpr std::int64_t kJitterFrames = 30 * kFramesPerMillisecond;

    void report(const Report& report);
    // Forgets every report: for a new stream.
    void reset();

    // Whether a report has been believed; framesAt needs one.
    bool valid() const { return believed_.has_value(); }
    // The frames heard by `moment`, on the line of the report believed last.
    std::int64_t framesAt(time_point moment) const;

private:
    static bool continues(const Report& line, const Report& report);

    std::optional<Report> believed_;
    std::optional<Report> doubted_;  // broke the line; waits for the next report
};

}  // namespace tavro::audio
