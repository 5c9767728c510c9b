#include "playback/audio_timeline.h"

#include "audio/click_schedule.h"

namespace tavro::playback {

namespace {

using audio::kFramesPerMillisecond;
using audio::kSampleRate;

BeatClock::duration framesToDuration(double frames)
{
    return std::chrono::duration_cast<BeatClock::duration>(
        std::chrono::duration<double>(frames / kSampleRate));
}

}  // namespace

AudioTimeline::AudioTimeline(SteadyClock steady)
    : steady_(std::move(steady))
{
}

AudioTimeline::time_point AudioTimeline::now() const
{
    if (!position_)
        return steady_() + offset_;
    // Between two samples of the played position the stream goes on at its nominal rate.
    const Position p = position_();
    const double elapsed = std::chrono::duration<double>(steady_() - p.at).count();
    return frameZero_ + framesToDuration(static_cast<double>(p.frames) + elapsed * kSampleRate);
}

void AudioTimeline::followStream(time_point heardAt, PositionSource position)
{
    const time_point here = now() + (heardAt - steady_());
    position_ = {};
    frameZero_ = std::chrono::round<std::chrono::milliseconds>(here);
    position_ = std::move(position);
}

void AudioTimeline::followSteady()
{
    if (!position_)
        return;
    const time_point here = now();
    position_ = {};
    offset_ = here - steady_();
}

std::int64_t AudioTimeline::frameAt(time_point moment) const
{
    // Nanoseconds to frames, to the nearest frame, in integers: exact for whole
    // milliseconds, and within range for years of running.
    const std::int64_t ns = std::chrono::nanoseconds(moment - frameZero_).count();
    const std::int64_t scaled = ns * kFramesPerMillisecond;
    const std::int64_t nsPerMs = 1'000'000;
    std::int64_t frames = scaled / nsPerMs;
    const std::int64_t rest = scaled % nsPerMs;
    if (rest * 2 >= nsPerMs)
        ++frames;
    else if (rest * 2 < -nsPerMs)
        --frames;
    return frames;
}

}  // namespace tavro::playback
