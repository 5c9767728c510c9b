#pragma once

#include "plan/speed_plan.h"
#include "plan/track_output.h"

#include <cstdint>
#include <functional>

namespace tavro::plan {

// The frames at which the run's clicks begin, beat after beat: frame 0 is the START
// press, and each beat's click begins at the frame of its time in milliseconds.
class BeatFrames {
public:
    explicit BeatFrames(SpeedPlan& plan)
        : plan_(plan)
    {
    }
    std::int64_t frame();  // of the current beat, from the first beat on
    void advance();

private:
    SpeedPlan& plan_;
    std::size_t row_ = 0;
    std::int64_t beatOfRow_ = 0;  // from 0 at the row's first beat
};

// Writes the run's click track as a WAV file (PCM, 16-bit, mono, 48 kHz) of `frames`
// frames to `file`: the clicks of `beeps` beeps each, as the program sounds them, and
// silence between them. The header comes first and is exact, so that a reader of a pipe
// has a complete WAV file. Calls `progress` with the frames written so far.
void writeClickTrack(SpeedPlan& plan, int beeps, std::int64_t frames, TrackOutput& file,
                     const std::function<void(std::int64_t)>& progress);

// The longest track a WAV file can hold: its sizes are 32-bit numbers of bytes.
inline constexpr std::int64_t kMaxTrackFrames = (0xFFFF'FFFFLL - 36) / 2;

}  // namespace tavro::plan
