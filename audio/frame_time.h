#pragma once

#include "audio/click_schedule.h"

#include <chrono>
#include <cstdint>

namespace tavro::audio {

// Stream frames and times, one to the other, rounded to the nearest either way (halves
// away from zero), in integers: whole milliseconds give exact frames, and a year of
// frames stays within range.
constexpr std::int64_t framesIn(std::chrono::nanoseconds time)
{
    const std::int64_t scaled = time.count() * kSampleRate;
    constexpr std::int64_t half = 500'000'000;
    return (scaled + (scaled < 0 ? -half : half)) / 1'000'000'000;
}

constexpr std::chrono::nanoseconds timeOf(std::int64_t frames)
{
    const std::int64_t scaled = frames * 1'000'000'000;
    constexpr std::int64_t half = kSampleRate / 2;
    return std::chrono::nanoseconds((scaled + (scaled < 0 ? -half : half)) / kSampleRate);
}

// Ticks of a clock at `num`/`denom` seconds each, in stream frames: the whole frames and
// the remainder (in units of 1/denom frame) to carry into the next conversion, so that a
// clock followed cycle by cycle never drifts from its own count.
struct TicksInFrames {
    std::int64_t frames = 0;
    std::int64_t carry = 0;
};
constexpr TicksInFrames ticksInFrames(std::int64_t ticks, std::int64_t num, std::int64_t denom,
                                      std::int64_t carry = 0)
{
    const std::int64_t scaled = ticks * kSampleRate * num + carry;
    std::int64_t frames = scaled / denom;
    std::int64_t rest = scaled % denom;
    if (rest < 0) {
        --frames;
        rest += denom;
    }
    return {frames, rest};
}

static_assert(framesIn(std::chrono::milliseconds(1)) == kFramesPerMillisecond);
static_assert(framesIn(std::chrono::nanoseconds(-10'417)) == -1);
static_assert(timeOf(kSampleRate) == std::chrono::seconds(1));
static_assert(ticksInFrames(441, 1, 44100).frames == 480);

}  // namespace tavro::audio
