#pragma once

#include "engine/metronome_state.h"
#include "plan/engine_run.h"
#include "plan/window_settings.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavro::plan {

// One speed step of a run: START is step 1, then every tick that sets the beat
// interval, even to the value it already had.
struct PlanRow {
    std::int64_t step = 0;
    std::int64_t speed = 0;       // as the speed label shows it from this step's first beat
    std::int32_t intervalMs = 0;  // the interval this step sets
    std::int64_t firstBeat = 0;   // the beat whose tick took the step; the first tick is beat 1
    std::int64_t startMs = 0;     // when that beat sounds, after the START press

    bool operator==(const PlanRow&) const = default;
};

// How a run goes on once at its maximum: from row `from` (an index; a row at the maximum)
// on, it stays at the maximum, or it alternates for good between the maximum and the
// speed of row `from + 1`.
struct MaximumHold {
    std::size_t from = 0;
    bool alternates = false;
};

// The speed steps of a run, as the engine's ticks give them, without ticking each of the
// run's beats (the longest plan has over a billion).
//
// Why that is exact: a pass always takes the same number of beats, and a speed the same
// number of passes, whatever the speed; and between two speed steps a tick leaves the
// tempo program as the first tick after the step left it. So the intervals come from
// the same settings played with the shortest pass, and only the pass length and the
// passes per speed come from the settings' own counters (see speed_plan.cpp).
class SpeedPlan {
public:
    // Presses START with `settings`.
    explicit SpeedPlan(const WindowSettings& settings);

    // START's message when it refused the settings; nothing below may be used then.
    const std::optional<std::string>& refusal() const { return start_.refusal(); }

    const MetronomeState& started() const { return start_.state(); }  // what START stored
    std::int64_t beatsPerPass() const { return beatsPerPass_; }
    std::int64_t passesPerSpeed() const { return passesPerSpeed_; }
    std::int64_t beatsPerStep() const { return beatsPerPass_ * passesPerSpeed_; }
    // The whole-millisecond interval of the maximum speed.
    std::int32_t maximumInterval() const { return maximumInterval_; }

    // Row `index` of the run, from 0 (START); computed as far as asked.
    const PlanRow& row(std::size_t index);
    // The first `count` rows; valid until more rows are asked for.
    std::span<const PlanRow> rows(std::size_t count);
    // How many rows there are up to and including the first at the maximum interval.
    std::size_t rowsToMaximum();
    // When the passes of `row` end: the time of the next step's first beat.
    std::int64_t endMs(const PlanRow& row) const;
    // How the run goes on from its first row at the maximum (see speed_plan.cpp).
    MaximumHold holdAtMaximum();

private:
    // What decides the steps after a row: the tempo program as that row's step left it,
    // but for the skip count (see holdAtMaximum()).
    struct TempoProgram {
        double baserate = 0, stepbpm = 0, stepphase = 0;
        bool operator==(const TempoProgram&) const = default;
    };

    void addRow();
    TempoProgram programAfter(std::size_t index);

    EngineRun start_;
    std::optional<EngineRun> steps_;  // the same speeds with the shortest pass, once each
    std::int64_t shortestPass_ = 0;   // beats of that pass
    std::int64_t beatsPerPass_ = 0;
    std::int64_t passesPerSpeed_ = 0;
    std::int32_t maximumInterval_ = 0;
    std::vector<PlanRow> rows_;
    std::vector<TempoProgram> programs_;  // one for each row
};

}  // namespace tavro::plan
