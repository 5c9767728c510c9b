#include "audio/stream_feed.h"

#include <algorithm>

namespace tavro::audio {

std::uint64_t StreamFeed::beginStream()
{
    renderer_.restart();
    framesWritten_.store(0, std::memory_order_relaxed);
    framesDue_.store(0, std::memory_order_relaxed);
    return streams_.fetch_add(1, std::memory_order_acq_rel) + 1;
}

void StreamFeed::render(std::int16_t* out, std::int64_t first, int frames, int coming)
{
    if (scheduleStream_.load(std::memory_order_acquire) == streams_.load(std::memory_order_relaxed))
        renderer_.render(out, first, frames);
    else
        std::fill_n(out, frames, std::int16_t{0});
    framesWritten_.store(first + frames, std::memory_order_relaxed);
    framesDue_.store(first + frames + coming, std::memory_order_relaxed);
}

void StreamFeed::publishPosition(std::int64_t frames, std::chrono::steady_clock::time_point at)
{
    position_.store({true, streams_.load(std::memory_order_relaxed), frames, at});
}

void StreamFeed::endStream()
{
    framesWritten_.store(0, std::memory_order_relaxed);
    framesDue_.store(0, std::memory_order_relaxed);
    position_.store({});
}

void StreamFeed::takeStream(std::uint64_t id)
{
    schedule_.publish(nullptr, 0);
    scheduleStream_.store(id, std::memory_order_release);
}

StreamFeed::ClickCounters StreamFeed::clickCounters() const
{
    return {renderer_.clicksStarted(), renderer_.clicksLate(), renderer_.clicksDropped()};
}

}  // namespace tavro::audio
