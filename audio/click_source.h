#pragma once

#include "audio/click_renderer.h"
#include "audio/click_schedule.h"

#include <atomic>
#include <cstdint>

namespace tavro::audio {

// The samples of one stream: mono 16-bit frames counted from 0, from a ClickRenderer of
// its own, whichever way they reach the sound server.
//
// The schedule may still hold the previous stream's clicks when a stream starts; the
// source writes silence until `scheduleStream` names its stream, which the owner sets
// once the schedule has been cleared for it.
//
// fill() runs on one thread only, the one that feeds the stream, and is real-time safe:
// no locks, allocation or I/O.
class ClickSource {
public:
    ClickSource(const ClickSchedule& schedule, const std::atomic<std::uint64_t>& scheduleStream,
                std::uint64_t stream)
        : renderer_(schedule), scheduleStream_(scheduleStream), stream_(stream)
    {
    }

    // Writes the next `frames` frames of the stream.
    void fill(std::int16_t* out, int frames);

    std::uint64_t stream() const { return stream_; }
    // Frames written so far; readable from any thread.
    std::int64_t framesWritten() const { return framesWritten_.load(std::memory_order_relaxed); }
    const ClickRenderer& renderer() const { return renderer_; }

private:
    ClickRenderer renderer_;
    const std::atomic<std::uint64_t>& scheduleStream_;
    const std::uint64_t stream_;
    std::atomic<std::int64_t> framesWritten_{0};
};

}  // namespace tavro::audio
