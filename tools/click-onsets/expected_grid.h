#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace tavro::onsets {

// One beat that a trace expects: the expiry that plays it, and when it sounds in
// milliseconds after the run's first beat.
struct ExpectedBeat {
    std::int64_t tick = 0;
    std::int64_t ms = 0;
};

// Reads the output of metronome-trace for a run started once. The spacing between beat
// k and the next expiry is the last `interval` printed before the `tick k` line: a speed
// step prints its interval during the tick that takes it, and the new spacing starts
// after that tick. Expiries that play nothing (a pause) leave gaps in the tick numbers
// and still take one interval each, so a resumed run stays on its grid. Lines other than
// `interval` and `tick` are ignored. Returns false with `problem` set when the trace
// has no beat or a malformed line.
bool readExpectedGrid(std::istream& trace, std::vector<ExpectedBeat>& out, std::string& problem);

// Frame of a time in milliseconds at `sampleRate`, rounded to the nearest frame.
inline std::int64_t msToFrames(std::int64_t ms, int sampleRate)
{
    return (ms * sampleRate + 500) / 1000;
}

}  // namespace tavro::onsets
