#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace tavro::audio {

// Where the stream stood at one moment: `frames` of the current stream had been heard
// (played out by the sound server) at steady-clock time `at`.
struct PlayedPosition {
    bool valid = false;
    std::uint64_t stream = 0;  // which stream; each open, reopen or recovery counts one up
    std::int64_t frames = 0;
    std::chrono::steady_clock::time_point at{};
};

// The latest PlayedPosition, handed from the audio thread (the only writer) to any
// reader without locks: a seqlock over atomic fields, so a reader racing the writer
// never has a data race and retries until it has a whole copy.
class PlayedPositionBoard {
public:
    void publish(const PlayedPosition& position)
    {
        const std::uint64_t seq = sequence_.load(std::memory_order_relaxed);  // only writer
        sequence_.store(seq + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        valid_.store(position.valid, std::memory_order_relaxed);
        stream_.store(position.stream, std::memory_order_relaxed);
        frames_.store(position.frames, std::memory_order_relaxed);
        at_.store(position.at.time_since_epoch().count(), std::memory_order_relaxed);
        sequence_.store(seq + 2, std::memory_order_release);
    }

    PlayedPosition read() const
    {
        for (;;) {
            const std::uint64_t before = sequence_.load(std::memory_order_acquire);
            if (before & 1)
                continue;  // the writer is at work: a few stores, over at once
            PlayedPosition p;
            p.valid = valid_.load(std::memory_order_relaxed);
            p.stream = stream_.load(std::memory_order_relaxed);
            p.frames = frames_.load(std::memory_order_relaxed);
            p.at = std::chrono::steady_clock::time_point(
                std::chrono::steady_clock::duration(at_.load(std::memory_order_relaxed)));
            std::atomic_thread_fence(std::memory_order_acquire);
            if (sequence_.load(std::memory_order_relaxed) == before)
                return p;
        }
    }

private:
    std::atomic<std::uint64_t> sequence_{0};
    std::atomic<bool> valid_{false};
    std::atomic<std::uint64_t> stream_{0};
    std::atomic<std::int64_t> frames_{0};
    std::atomic<std::chrono::steady_clock::rep> at_{0};
};

}  // namespace tavro::audio
