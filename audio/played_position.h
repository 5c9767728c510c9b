#pragma once

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

}  // namespace tavro::audio
