#include "audio/click_schedule.h"

#include <algorithm>

namespace tavro::audio {

// A seqlock over atomics: every shared field is atomic, so a reader racing the writer
// reads stale or mixed values but never has a data race; the sequence number tells
// it whether the copy it took is whole.

void ClickSchedule::publish(const Click* clicks, int count)
{
    count = std::clamp(count, 0, kCapacity);
    const std::uint64_t seq = sequence_.load(std::memory_order_relaxed);  // only writer
    sequence_.store(seq + 1, std::memory_order_relaxed);
    // Keeps the odd number ahead of every field store below: a reader that sees any
    // of them also sees the sequence move on.
    std::atomic_thread_fence(std::memory_order_release);
    count_.store(count, std::memory_order_relaxed);
    for (int i = 0; i < count; ++i) {
        frames_[i].store(clicks[i].frame, std::memory_order_relaxed);
        beeps_[i].store(clicks[i].beeps, std::memory_order_relaxed);
    }
    sequence_.store(seq + 2, std::memory_order_release);
}

int ClickSchedule::snapshot(List& out) const
{
    for (;;) {
        const std::uint64_t before = sequence_.load(std::memory_order_acquire);
        if (before & 1)
            continue;  // the writer is at work
        const int count = std::clamp(count_.load(std::memory_order_relaxed), 0, kCapacity);
        for (int i = 0; i < count; ++i) {
            out[i].frame = frames_[i].load(std::memory_order_relaxed);
            out[i].beeps = beeps_[i].load(std::memory_order_relaxed);
        }
        // Keeps the field loads above ahead of the second look at the sequence.
        std::atomic_thread_fence(std::memory_order_acquire);
        if (sequence_.load(std::memory_order_relaxed) == before)
            return count;
    }
}

}  // namespace tavro::audio
