#include "plan/plan_report.h"

#include "audio/click_schedule.h"
#include "engine/number_text.h"

#include <algorithm>
#include <cstdio>

namespace tavro::plan {

namespace {

// numerator / denominator to the nearest whole number, halves to the even neighbour.
std::int64_t dividedRounded(std::int64_t numerator, std::int64_t denominator)
{
    const std::int64_t quotient = numerator / denominator;
    const std::int64_t twiceRest = 2 * (numerator % denominator);
    if (twiceRest > denominator || (twiceRest == denominator && quotient % 2 != 0))
        return quotient + 1;
    return quotient;
}

std::string printed(const char* format, auto... values)
{
    char line[160];
    std::snprintf(line, sizeof line, format, values...);
    return line;
}

// "1 bar", "2 bars", "0.5 bars"; "1 pass", "2 passes".
std::string counted(double value, std::string noun)
{
    if (value != 1)
        noun += noun.ends_with('s') ? "es" : "s";
    return formatNumber(value) + ' ' + noun;
}

void writeHeading(std::ostream& out, SpeedPlan& plan)
{
    const MetronomeState& s = plan.started();
    out << formatNumber(s.beatsperbar) << "/4, " << counted(s.piecelength, "bar") << " and "
        << (s.introbars == 0 ? "no introduction" : counted(s.introbars, "introduction bar"))
        << " a pass, " << counted(double(plan.passesPerSpeed()), "pass")
        << " at each speed: " << counted(double(plan.beatsPerStep()), "beat") << " a step\n";
    out << (s.linearmode ? "Linear" : "Skip") << ": from " << formatNumber(s.startbpm) << " up to "
        << formatNumber(s.maxbpm) << " beats per minute, ";
    if (s.linearmode)
        out << "in steps of " << formatNumber(s.linearinc) << "\n\n";
    else
        out << "up " << formatNumber(s.skipinc) << " and back "
            << formatNumber(s.skipinc - s.linearinc) << "\n\n";
}

// "300 beats per minute (200 ms, plays 300.0)"
std::string speedAndInterval(const std::string& speed, std::int32_t intervalMs)
{
    return speed + " beats per minute (" + std::to_string(intervalMs) + " ms, plays "
           + realTempo(intervalMs) + ")";
}

void writeSummary(std::ostream& out, SpeedPlan& plan)
{
    const PlanRow top = plan.row(plan.rowsToMaximum() - 1);  // copies: rows are added below
    out << "\nThe maximum, "
        << speedAndInterval(formatNumber(plan.started().maxbpm), top.intervalMs)
        << ", is reached at " << clockTime(top.startMs) << " after START: step " << top.step
        << ", beat " << top.firstBeat << ".\n";
    out << "Its passes at that speed (" << plan.passesPerSpeed() << ") end at "
        << clockTime(plan.endMs(top)) << ", after beat " << top.firstBeat + plan.beatsPerStep() - 1
        << ".\n";
    if (plan.started().linearmode)
        return;  // a linear plan stays at its maximum
    const MaximumHold hold = plan.holdAtMaximum();
    const PlanRow from = plan.row(hold.from);
    out << "From step " << from.step << " on (" << clockTime(from.startMs) << " after START, beat "
        << from.firstBeat << ") it ";
    if (hold.alternates) {
        const PlanRow other = plan.row(hold.from + 1);
        out << "alternates for good between the maximum and "
            << speedAndInterval(std::to_string(other.speed), other.intervalMs) << ".\n";
    } else {
        out << "stays at the maximum.\n";
    }
}

}  // namespace

std::string clockTime(std::int64_t ms)
{
    const auto tenths = static_cast<long long>(dividedRounded(ms, 100));
    constexpr long long kTenthsPerHour = 36'000;
    if (tenths < kTenthsPerHour)
        return printed("%lld:%02lld.%lld", tenths / 600, tenths / 10 % 60, tenths % 10);
    const long long hours = tenths / kTenthsPerHour;
    const std::string time = printed("%lld:%02lld:%02lld.%lld", hours % 24, tenths / 600 % 60,
                                     tenths / 10 % 60, tenths % 10);
    if (hours < 24)
        return time;
    return counted(double(hours / 24), "day") + ", " + time;
}

std::string realTempo(std::int32_t intervalMs)
{
    const std::int64_t tenths = dividedRounded(600'000, intervalMs);
    return printed("%lld.%lld", static_cast<long long>(tenths / 10),
                   static_cast<long long>(tenths % 10));
}

void writeCsv(std::ostream& out, std::span<const PlanRow> rows)
{
    out << "step,speed,interval_ms,first_beat,start_ms\n";
    for (const PlanRow& row : rows) {
        out << row.step << ',' << row.speed << ',' << row.intervalMs << ',' << row.firstBeat << ','
            << row.startMs << '\n';
    }
}

void writeTable(std::ostream& out, SpeedPlan& plan, std::span<const PlanRow> rows)
{
    writeHeading(out, plan);
    // The last time is the longest: the column widens for plans of days.
    const int timeWidth = std::max(12, int(clockTime(rows.back().startMs).size()));
    out << printed(" step  speed  interval   plays    first beat  %*s\n", timeWidth, "time");
    for (const PlanRow& row : rows) {
        out << printed("%5lld  %5lld  %5d ms  %6s  %12lld  %*s\n", static_cast<long long>(row.step),
                       static_cast<long long>(row.speed), row.intervalMs,
                       realTempo(row.intervalMs).c_str(), static_cast<long long>(row.firstBeat),
                       timeWidth, clockTime(row.startMs).c_str());
    }
    writeSummary(out, plan);
}

void writeTrackLength(std::ostream& out, SpeedPlan& plan, std::int64_t frames,
                      const PlanRow* lastRow)
{
    out << "\nThe click track lasts "
        << clockTime(dividedRounded(frames, audio::kFramesPerMillisecond));
    if (lastRow)
        out << ", until the passes of step " << lastRow->step << " end, after beat "
            << lastRow->firstBeat + plan.beatsPerStep() - 1;
    out << ".\n";
}

}  // namespace tavro::plan
