#pragma once

#include "audio/click_renderer.h"
#include "audio/click_schedule.h"
#include "audio/played_position.h"
#include "audio/seqlock.h"

#include <atomic>
#include <cstdint>

namespace tavro::audio {

// What the user-interface thread shares with the thread that feeds a sound stream, without
// locks: the clicks to play, the renderer that writes them into the stream, and what the
// stream tells of itself. Every server's stream is fed through this one object, so the
// clicks sound the same, at the same frames, whichever server plays them.
//
// One stream is fed at a time. Its thread calls the stream side; the user-interface
// thread calls the rest.
class StreamFeed {
public:
    struct ClickCounters {
        std::uint64_t started = 0;
        std::uint64_t late = 0;     // started up to 20 ms after their frame
        std::uint64_t dropped = 0;  // given up: published when their frame was long past
    };

    // ---- the stream's side ----
    // A new stream begins at frame 0; returns its id. It plays silence until the
    // user-interface thread has cleared the schedule for it (takeStream).
    std::uint64_t beginStream();
    // Writes frames first..first+frames-1 of the current stream (see ClickRenderer::render:
    // frames skipped are never heard, frames written again sound again, no click moves).
    // `coming`: the frames the stream writes whole at its next call, before a click
    // published meanwhile could be seen (PipeWire's next cycle).
    void render(std::int16_t* out, std::int64_t first, int frames, int coming = 0);
    // `frames` of the current stream heard at `at`.
    void publishPosition(std::int64_t frames, std::chrono::steady_clock::time_point at);
    void countUnderflow() { underflows_.fetch_add(1, std::memory_order_relaxed); }
    // No stream plays any more.
    void endStream();

    // ---- the user-interface thread's side ----
    ClickSchedule& schedule() { return schedule_; }
    // Stream `id` has been heard: the clicks of an older stream must not sound in it, so
    // the schedule is cleared, and from now on its clicks are written.
    void takeStream(std::uint64_t id);
    // Nothing is written into any stream until the next takeStream.
    void silence() { scheduleStream_.store(0, std::memory_order_release); }

    // Any thread.
    PlayedPosition playedPosition() const { return position_.load(); }
    std::int64_t framesWritten() const { return framesWritten_.load(std::memory_order_relaxed); }
    std::int64_t framesDue() const { return framesDue_.load(std::memory_order_relaxed); }
    ClickCounters clickCounters() const;
    std::uint64_t underflows() const { return underflows_.load(std::memory_order_relaxed); }

private:
    ClickSchedule schedule_;
    ClickRenderer renderer_{schedule_};  // its counters; the rest is the stream thread's
    std::atomic<std::uint64_t> streams_{0};  // streams begun so far; the latest one's id
    // The stream whose frames the schedule's clicks are in (0: none).
    std::atomic<std::uint64_t> scheduleStream_{0};
    Seqlock<PlayedPosition> position_;  // one writer at a time: the current stream's
    std::atomic<std::int64_t> framesWritten_{0};
    std::atomic<std::int64_t> framesDue_{0};  // written, and the coming block
    std::atomic<std::uint64_t> underflows_{0};
};

}  // namespace tavro::audio
