#pragma once

#include <cstdint>
#include <vector>

namespace tavro::onsets {

struct OnsetRule {
    int threshold = 64;                // a frame louder than this is sound, otherwise silence
    std::int64_t silenceFrames = 960;  // silence needed before an onset (20 ms at 48 kHz)
};

// The frames at which a click begins: the first frame louder than the threshold after
// at least `silenceFrames` quiet frames. The recording's start does not count as
// silence, so a click already sounding when the recording began is not an onset.
// A click of several beeps back to back, with brief zeros where they join, is one
// onset as long as the gaps are shorter than the silence needed.
std::vector<std::int64_t> findOnsets(const std::vector<std::uint16_t>& level, OnsetRule rule);

}  // namespace tavro::onsets
