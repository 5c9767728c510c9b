#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace tavro::audio {

inline constexpr int kSampleRate = 48000;
inline constexpr int kFramesPerMillisecond = kSampleRate / 1000;

// One click: `beeps` beeps back to back, the first starting at stream frame `frame`.
struct Click {
    std::int64_t frame = 0;
    int beeps = 0;
};

// The clicks still to come, handed from the user-interface thread (the only writer) to
// the audio thread (the only reader) without locks or allocation: the writer publishes
// a whole new list, the reader takes a consistent copy of the latest one. A sequence
// number that is odd while the writer is at work tells the reader to try again.
class ClickSchedule {
public:
    static constexpr int kCapacity = 4;
    using List = std::array<Click, kCapacity>;

    // Replaces the list; clicks beyond kCapacity are left out. Writer thread only.
    void publish(const Click* clicks, int count);

    // A consistent copy of the latest list; returns how many entries it holds.
    // Wait-free for the writer, lock-free for the reader.
    int snapshot(List& out) const;

private:
    std::atomic<std::uint64_t> sequence_{0};
    std::atomic<int> count_{0};
    std::array<std::atomic<std::int64_t>, kCapacity> frames_{};
    std::array<std::atomic<int>, kCapacity> beeps_{};
};

}  // namespace tavro::audio
