#pragma once

#include "audio/click_schedule.h"

#include <cstdint>

namespace tavro::audio {

// One beep: a short tone burst that starts and ends at zero, so beeps placed back to
// back (a click of High volume has 15) join without a pop. 15 beeps must fit in the
// shortest interval between beats (171 ms).
inline constexpr int kBeepFrames = 8 * kFramesPerMillisecond;

// Sample `frame` (0 <= frame < kBeepFrames) of one beep.
std::int16_t beepSample(int frame);

// Sample `frame` of a click of `beeps` beeps; 0 outside it.
std::int16_t clickSample(std::int64_t frame, int beeps);

}  // namespace tavro::audio
