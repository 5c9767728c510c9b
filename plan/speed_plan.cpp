#include "plan/speed_plan.h"

#include "engine/rounding.h"

#include <charconv>
#include <stdexcept>

namespace tavro::plan {

// How the rows follow from the engine without ticking every beat of the run:
//
// - The beat and bar counters never read the speed or the repeat counter, and after the
//   tick that completes a pass they stand as after the first tick of the run (beat 1 of
//   the first introduction bar). So every pass takes the same number of beats, which a
//   run with one pass per speed shows as the ticks before its first step.
// - The repeat counter starts every speed at 1 and counts completed passes, so every
//   speed takes the same number of passes, which a run of the shortest pass shows.
// - The tempo program reads no counter. Between two steps a tick only renews the skip
//   increase and the cap, which give the same values however often they run; so the
//   intervals of the steps, and the speeds shown, are those of the same speed settings
//   played with the shortest pass and one pass per speed, two beats a step.
//
// The tests hold these rows to the engine ticked beat by beat.
//
// How a run goes on at its maximum follows from the tempo program after each step: the
// base rate, the step and the skip phase (a linear run never reads its phase, which then
// only counts the steps). The skip count is left out: it is read only after a skip that
// lands exactly on the maximum, to set the step that follows, -skip + linear x count,
// which grows with the count; once the cap holds such a step at the maximum, it holds
// every later, larger one. So when the programs after two steps in a row are those
// after the two steps before, the steps that follow repeat two by two, for good: the
// speed stays at the maximum, or it alternates between the maximum and one speed below
// it. A skip plan gets there soon after the maximum: its returns after exact landings
// shrink by the linear increase until the speed stays on the maximum.

namespace {

constexpr std::int64_t kTickLimit = 10'000'000;  // far above the longest pass or speed
constexpr std::size_t kRowLimit = 1'000'000;     // far above the longest way up

// The ticks of a started run up to and including its first speed step.
std::int64_t ticksToFirstStep(EngineRun run)
{
    for (std::int64_t ticks = 1; ticks <= kTickLimit; ++ticks) {
        if (run.tick())
            return ticks;
    }
    throw std::logic_error("the run takes no speed step");
}

WindowSettings withRepeat(WindowSettings settings, const char* repeat)
{
    settings.text(Box::Repeat) = repeat;
    return settings;
}

// The same settings with the shortest pass: one bar of 2/4, no introduction.
WindowSettings withShortestPass(WindowSettings settings)
{
    settings.timing = Option::TwoFour;
    settings.text(Box::Length) = "1";
    settings.text(Box::Intro) = "0";
    return settings;
}

std::int64_t wholeNumber(const std::string& text)
{
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        throw std::logic_error("the speed label shows no whole number: " + text);
    return value;
}

}  // namespace

SpeedPlan::SpeedPlan(const WindowSettings& settings)
    : start_(settings)
{
    if (refusal())
        return;
    // The runs below change only the repeat, length, intro and Timing settings to texts
    // START accepts, and none of its checks pairs those with another box, so they start.
    beatsPerPass_ = ticksToFirstStep(EngineRun(withRepeat(settings, "1"))) - 1;
    const WindowSettings shortest = withShortestPass(settings);
    shortestPass_ = ticksToFirstStep(EngineRun(withRepeat(shortest, "1"))) - 1;
    const std::int64_t beatsPerSpeed = ticksToFirstStep(EngineRun(shortest)) - 1;
    if (beatsPerSpeed % shortestPass_ != 0)
        throw std::logic_error("a speed that ends within a pass");
    passesPerSpeed_ = beatsPerSpeed / shortestPass_;
    steps_.emplace(withRepeat(shortest, "1"));
    maximumInterval_ = intervalForRate(started().maxbpm / 60);
}

const PlanRow& SpeedPlan::row(std::size_t index)
{
    while (rows_.size() <= index)
        addRow();
    return rows_[index];
}

std::span<const PlanRow> SpeedPlan::rows(std::size_t count)
{
    if (count > 0)
        row(count - 1);
    return std::span<const PlanRow>(rows_).first(count);
}

void SpeedPlan::addRow()
{
    EngineRun& run = *steps_;
    PlanRow next;
    if (rows_.empty()) {
        // START set the first interval; the first tick shows its speed.
        if (run.tick())
            throw std::logic_error("the first tick took a speed step");
        next = {1, 0, run.interval(), 1, run.interval()};
    } else {
        for (std::int64_t tick = 1; tick < shortestPass_; ++tick) {
            if (run.tick())
                throw std::logic_error("a speed step within a pass");
        }
        if (!run.tick())
            throw std::logic_error("no speed step after a pass");
        const PlanRow& last = rows_.back();
        next = {last.step + 1, 0, run.interval(), last.firstBeat + beatsPerStep(), endMs(last)};
    }
    next.speed = wholeNumber(run.speedShown());
    rows_.push_back(next);
    const MetronomeState& s = run.state();
    programs_.push_back({s.baserate, s.stepbpm, s.linearmode ? 0 : s.stepphase});
}

SpeedPlan::TempoProgram SpeedPlan::programAfter(std::size_t index)
{
    row(index);
    return programs_[index];
}

std::size_t SpeedPlan::rowsToMaximum()
{
    for (std::size_t index = 0; index < kRowLimit; ++index) {
        if (row(index).intervalMs == maximumInterval_)
            return index + 1;
    }
    throw std::logic_error("the plan does not reach its maximum");
}

std::int64_t SpeedPlan::endMs(const PlanRow& row) const
{
    return row.startMs + beatsPerStep() * row.intervalMs;
}

MaximumHold SpeedPlan::holdAtMaximum()
{
    const std::size_t first = rowsToMaximum() - 1;
    // The steps after rows `after` and `after + 1` are those after the two rows before:
    // the rows from `after + 1` on repeat two by two.
    std::size_t after = first;
    while (!(programAfter(after + 3) == programAfter(after + 1)
             && programAfter(after + 2) == programAfter(after))) {
        if (++after - first > kRowLimit)
            throw std::logic_error("the plan never repeats at its maximum");
    }
    // Rows before may follow the same pattern already; it begins at the maximum. (Every
    // row up to `after + 3` is known by now.)
    const auto interval = [this](std::size_t index) { return rows_[index].intervalMs; };
    std::size_t from = after + 1;
    while (from > first && interval(from - 1) == interval(from + 1))
        --from;
    if (interval(from) != maximumInterval_)
        ++from;
    if (interval(from) != maximumInterval_)
        throw std::logic_error("the plan repeats below its maximum");
    return {from, interval(from + 1) != maximumInterval_};
}

}  // namespace tavro::plan
