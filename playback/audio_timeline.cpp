#include "playback/audio_timeline.h"

#include "audio/frame_time.h"

namespace tavro::playback {

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
    return frameZero_ + audio::timeOf(p.frames) + (steady_() - p.at);
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
    return audio::framesIn(moment - frameZero_);
}

}  // namespace tavro::playback
