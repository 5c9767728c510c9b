#pragma once

#include "audio/click_schedule.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace tavro::audio {

// Writes the stream's samples on the thread that feeds the stream: silence, and every
// scheduled click at exactly its frame, whatever the sizes of the blocks the stream asks
// for. A click that has begun plays to its end even if the schedule drops it meanwhile;
// each scheduled frame starts at most one click. Real-time safe: no locks, allocation or
// I/O.
class ClickRenderer {
public:
    // Takes the schedule's lists: its only reader.
    explicit ClickRenderer(ClickSchedule& schedule)
        : schedule_(schedule)
    {
    }

    // Fills out[0..frames) with stream frames first..first+frames-1 (mono, 16 bit).
    // Blocks come in order. Frames skipped between two blocks are never heard (the server
    // passed the stream by): a click that was playing there, or was due there, goes on at
    // its own frames, its sound in the skipped frames lost. A block may also begin before
    // the previous one ended, when the stream goes back to keep its time on a new output:
    // those frames are written again, every click still at its own frames, and sound as
    // they did (the latest kRememberedClicks clicks started are kept for it). No click
    // moves.
    void render(std::int16_t* out, std::int64_t first, int frames);

    // Starts over for a new stream, counted from frame 0 again: nothing plays and no
    // frame has been dealt with. The counters go on. Same thread as render().
    void restart() { progress_ = {}; }

    // Counters for measurements, since construction; readable from any thread.
    std::uint64_t clicksStarted() const { return started_.load(std::memory_order_relaxed); }
    // Clicks first seen after their frame had already been written (published late,
    // not skipped): started at once when at most kLateToleranceFrames late, otherwise
    // dropped.
    std::uint64_t clicksLate() const { return late_.load(std::memory_order_relaxed); }
    std::uint64_t clicksDropped() const { return dropped_.load(std::memory_order_relaxed); }

    static constexpr std::int64_t kLateToleranceFrames = 20 * kFramesPerMillisecond;
    // At the shortest interval between beats this reaches back more than a second.
    static constexpr int kRememberedClicks = 8;

private:
    // A click as started: from `startAt` (its frame, or the block's start when it came
    // late) to its end, unless the next one started cuts it off.
    struct Started {
        std::int64_t startAt = 0;
        int beeps = 0;
    };

    // Where the renderer stands in the stream.
    struct Progress {
        // The latest clicks started, ordered by startAt (one started later comes after
        // one with the same startAt, and cuts it off); the oldest is forgotten first.
        std::array<Started, kRememberedClicks> started{};
        int startedCount = 0;
        // The frame of the latest click started; a scheduled click at or before it has
        // been dealt with.
        std::int64_t lastStartedFrame = INT64_MIN;
        // The frame after the last one written: a click before it was published late, one
        // from it on was due in frames that were skipped or are still to come.
        std::int64_t writtenTo = 0;
    };

    // Keeps `click` among the latest started, in order of startAt.
    void remember(const Started& click);

    ClickSchedule& schedule_;
    Progress progress_;
    std::atomic<std::uint64_t> started_{0};
    std::atomic<std::uint64_t> late_{0};
    std::atomic<std::uint64_t> dropped_{0};
};

}  // namespace tavro::audio
