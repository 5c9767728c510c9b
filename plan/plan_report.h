#pragma once

#include "plan/speed_plan.h"

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

namespace tavro::plan {

// A time in milliseconds as minutes, seconds and tenths (m:ss.s), from an hour on with
// the hours (h:mm:ss.s), and from a day on with the days ("2 days, 3:04:05.6"). Tenths
// to the nearest, halves to the even neighbour.
std::string clockTime(std::int64_t ms);

// The tempo a whole-millisecond interval really plays, 60000 / interval, to one decimal
// (halves to the even neighbour): 171 ms plays 350.9 beats per minute.
std::string realTempo(std::int32_t intervalMs);

// The header line and one line per row, whole numbers only.
void writeCsv(std::ostream& out, std::span<const PlanRow> rows);

// The plan in words, a table of the rows and a summary: when the maximum is reached and
// when its passes at that speed end.
void writeTable(std::ostream& out, SpeedPlan& plan, std::span<const PlanRow> rows);

// The click track's length, under the table: "The click track lasts 9:41.3, until the
// passes of step 12 end." (`lastRow` where it lasts as long as the rows, else it was chosen).
void writeTrackLength(std::ostream& out, SpeedPlan& plan, std::int64_t frames,
                      const PlanRow* lastRow);

}  // namespace tavro::plan
