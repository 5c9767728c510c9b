#include "audio/heard_clock.h"

#include "audio/frame_time.h"

#include <cstdlib>

namespace tavro::audio {

void HeardClock::report(const Report& report)
{
    const bool believable =
        !believed_ || continues(*believed_, report) || (doubted_ && continues(*doubted_, report));
    if (believable) {
        believed_ = report;
        doubted_.reset();
    } else {
        doubted_ = report;
    }
}

void HeardClock::reset()
{
    believed_.reset();
    doubted_.reset();
}

std::int64_t HeardClock::framesAt(time_point moment) const
{
    return believed_->frames + framesIn(moment - believed_->at);
}

bool HeardClock::continues(const Report& line, const Report& report)
{
    const std::int64_t expected = line.frames + framesIn(report.at - line.at);
    return std::abs(report.frames - expected) <= kJitterFrames;
}

}  // namespace tavro::audio
