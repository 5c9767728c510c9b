#include "audio/click_source.h"

#include <algorithm>

namespace tavro::audio {

void ClickSource::fill(std::int16_t* out, int frames)
{
    const std::int64_t first = framesWritten_.load(std::memory_order_relaxed);
    if (scheduleStream_.load(std::memory_order_acquire) == stream_)
        renderer_.render(out, first, frames);
    else
        std::fill(out, out + frames, std::int16_t{0});
    framesWritten_.store(first + frames, std::memory_order_relaxed);
}

}  // namespace tavro::audio
