#pragma once

#include "expected_grid.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavro::onsets {

struct ComparisonRule {
    int sampleRate = 48000;
    std::int64_t recordingFrames = 0;  // length of the recording
    std::int64_t toleranceFrames = 0;  // |deviation| allowed for a pass
    std::int64_t windowFrames = 240;   // an onset this close to a beat (5 ms) belongs to it
    std::int64_t lateFrames = 48;      // deviations beyond 1 ms count as late or early
    std::size_t firstBeat = 0;         // index of the expected beat that the first onset is
    std::size_t alignOnset = 0;        // index of the onset taken as the first (earlier: extra)
};

// One thing that went wrong, for the report: an onset off the grid (`deviation` set),
// a beat without an onset (`missing`), or an onset without a beat (`tick` 0).
struct Finding {
    std::int64_t tick = 0;
    std::int64_t frame = 0;  // where the onset is, or where the missing beat belonged
    std::int64_t deviation = 0;
    bool missing = false;
};

struct Comparison {
    std::size_t found = 0;     // onsets in the recording
    std::size_t expected = 0;  // beats that fall within the recording
    std::size_t matched = 0;
    std::int64_t maxDeviation = 0;         // largest |deviation| of a matched onset, in frames
    std::int64_t lastDeviation = 0;        // deviation of the last matched onset: the drift
    std::vector<std::int64_t> deviations;  // of every matched onset, in order
    double driftPpm = 0;                   // slope of a least-squares line through the deviations
    std::size_t late = 0;
    std::size_t early = 0;
    std::size_t missing = 0;
    std::size_t extra = 0;
    bool gridTooShort = false;      // the trace ran out of beats before the recording ended
    std::vector<Finding> findings;  // the first few, in order

    // `lostClicks`: clicks whose sound may be lost, wholly (missing) or in part (heard
    // later than the tolerance: an underrun drops the samples that come late, so the click
    // is heard from its middle on), and as many extra onsets (a click cut short may leave
    // its tail off the grid). A click heard early, or more late clicks than that (a grid
    // that moved), fails.
    bool passes(std::int64_t toleranceFrames, std::size_t lostClicks = 0) const
    {
        std::size_t cut = 0;
        std::int64_t worst = 0;
        for (const std::int64_t deviation : deviations) {
            if (deviation > toleranceFrames)
                ++cut;
            else
                worst = std::max(worst, -deviation);
        }
        return matched > 0 && worst <= toleranceFrames && missing + cut <= lostClicks
               && extra <= lostClicks && !gridTooShort;
    }
};

// Lays the expected grid on the recording so that beat `firstBeat` falls on onset
// `alignOnset` (any constant delay of the onset finder cancels out), then matches each
// beat with the onset nearest to it. Deviation = onset - beat, in frames. Beats that fall
// before the recording, or too close to its end to be judged, are not expected, and
// onsets at the end are left alone.
Comparison compareWithGrid(const std::vector<std::int64_t>& onsets,
                           const std::vector<ExpectedBeat>& beats, const ComparisonRule& rule);

// Which onset is which beat: of the first `candidates` onsets taken as each of the
// `candidates` beats from `firstBeat` on, the pairing with the fewest spacing faults
// (below; each onset or beat passed over counts as one), then the most beats matched on
// the grid, then the earliest. So a stray sound
// before the run shows as one extra onset, and a lost first click as one missing click,
// and a slip of the stream later on cannot make a wrong pairing look better.
ComparisonRule bestAlignment(const std::vector<std::int64_t>& onsets,
                             const std::vector<ExpectedBeat>& beats, ComparisonRule rule,
                             std::size_t candidates);

// Each click against the one before it rather than against the grid, so that a single
// slip (say a stream that ran dry and resumed late) shows once, with its size, instead
// of shifting every later click. From onset `alignOnset` as beat `firstBeat`, each next
// beat is looked for within a quarter of its spacing (at least the window) of where the
// previous click plus the expected spacing puts it; a beat not found is taken to be
// where it was due. Returns the beats whose spacing is off by more than the tolerance,
// as findings (with the spacing error as deviation, or missing).
std::vector<Finding> spacingFaults(const std::vector<std::int64_t>& onsets,
                                   const std::vector<ExpectedBeat>& beats,
                                   const ComparisonRule& rule);

}  // namespace tavro::onsets
