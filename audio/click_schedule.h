#pragma once

#include "audio/triple_buffer.h"

#include <algorithm>
#include <array>
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
// the thread that renders the stream (the only reader) without locks or allocation:
// the writer publishes a whole new list, the reader takes a whole copy of the latest.
// Neither side ever waits for the other, so the real-time reader cannot be held up by a
// writer the scheduler has put aside.
class ClickSchedule {
public:
    static constexpr int kCapacity = 4;
    using List = std::array<Click, kCapacity>;

    // Replaces the list; clicks beyond kCapacity are left out. Writer thread only.
    void publish(const Click* clicks, int count)
    {
        Entries entries{};
        entries.count = std::clamp(count, 0, kCapacity);
        for (int i = 0; i < entries.count; ++i)
            entries.clicks[i] = clicks[i];
        entries_.publish(entries);
    }

    // A copy of the latest list; returns how many entries it holds. Reader thread only:
    // one thread at a time takes the lists.
    int snapshot(List& out)
    {
        const Entries& entries = entries_.latest();
        out = entries.clicks;
        return entries.count;
    }

private:
    struct Entries {  // value-initialised: no clicks
        int count;
        List clicks;
    };
    TripleBuffer<Entries> entries_;
};

}  // namespace tavro::audio
