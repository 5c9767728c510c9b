#include "audio/click_sound.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace tavro::audio {
namespace {

// 2 kHz is 16 whole cycles in the 8 ms burst, so the tone runs on in phase from one
// beep to the next and a click sounds as one tone, not as a train of blips.
constexpr double kToneHz = 2000.0;
// Raised-cosine edges of 1 ms: short enough for a crisp attack, long enough to start
// and end without a pop. The window is symmetric and exactly 0 at both ends.
constexpr int kEdgeFrames = 1 * kFramesPerMillisecond;
// Peak at 0.6 of full scale leaves headroom for the sound server's resampling.
constexpr double kPeak = 0.6 * 32767.0;

static_assert(kBeepFrames * static_cast<int>(kToneHz) % kSampleRate == 0,
              "the beep holds a whole number of tone cycles");

double window(int frame)
{
    const int fromEdge = std::min(frame, kBeepFrames - 1 - frame);
    if (fromEdge >= kEdgeFrames)
        return 1.0;
    return 0.5 * (1.0 - std::cos(std::numbers::pi * fromEdge / kEdgeFrames));
}

std::array<std::int16_t, kBeepFrames> makeBeep()
{
    std::array<std::int16_t, kBeepFrames> beep{};
    for (int i = 0; i < kBeepFrames; ++i) {
        const double tone = std::sin(2.0 * std::numbers::pi * kToneHz * i / kSampleRate);
        beep[i] = static_cast<std::int16_t>(std::lround(kPeak * window(i) * tone));
    }
    return beep;
}

// Built once at start-up, before any audio thread exists; only read afterwards.
const std::array<std::int16_t, kBeepFrames> kBeep = makeBeep();

}  // namespace

std::int16_t beepSample(int frame)
{
    if (frame < 0 || frame >= kBeepFrames)
        return 0;
    return kBeep[frame];
}

std::int16_t clickSample(std::int64_t frame, int beeps)
{
    if (beeps <= 0 || frame < 0 || frame >= std::int64_t{beeps} * kBeepFrames)
        return 0;
    return kBeep[frame % kBeepFrames];
}

}  // namespace tavro::audio
