// The rows of tavro-plan against the engine ticked beat by beat: the CSV the command
// prints is compared with the speed steps that metronome-trace shows for the same
// settings (every `interval` line is a step; its beat is the next tick; its time the
// sum of the intervals in force before each tick).
#include "plan/plan_command.h"
#include "plan/plan_report.h"

#include "tests/support/inexact_maxima.h"
#include "trace_quote.h"
#include "trace_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Row {
    std::int64_t step, speed, intervalMs, firstBeat, startMs;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& r)
{
    return out << r.step << ',' << r.speed << ',' << r.intervalMs << ',' << r.firstBeat << ','
               << r.startMs;
}

// Settings as a user gives them: box texts by the trace's box names, the option buttons.
struct Plan {
    std::vector<std::pair<std::string, std::string>> boxes;  // trace box name, text
    std::string time = "4/4";
    std::string increase = "linear";
};

std::vector<std::string> commandLine(const Plan& plan)
{
    const std::vector<std::pair<std::string, std::string>> optionOf{
        {"length", "--length"},    {"intro", "--intro"},  {"repeat", "--repeat"},
        {"startspeed", "--start"}, {"maxspeed", "--max"}, {"linear", "--linear"},
        {"skip", "--skip"}};
    std::vector<std::string> args{"--time", plan.time, "--increase", plan.increase};
    for (const auto& [box, text] : plan.boxes) {
        for (const auto& [name, option] : optionOf) {
            if (name == box) {
                args.push_back(option);
                args.push_back(text);
            }
        }
    }
    return args;
}

struct Output {
    int status = 0;
    std::string out, err;
};

Output runCommand(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = tavro::plan::runPlanCommand(args, {out, err});
    return {status, out.str(), err.str()};
}

std::vector<Row> csvRows(const Plan& plan, std::vector<std::string> extra = {})
{
    std::vector<std::string> args = commandLine(plan);
    args.push_back("--csv");
    args.insert(args.end(), extra.begin(), extra.end());
    const Output run = runCommand(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "step,speed,interval_ms,first_beat,start_ms");
    std::vector<Row> rows;
    while (std::getline(lines, line)) {
        Row r{};
        char c1, c2, c3, c4;
        std::istringstream fields(line);
        fields >> r.step >> c1 >> r.speed >> c2 >> r.intervalMs >> c3 >> r.firstBeat >> c4
            >> r.startMs;
        EXPECT_TRUE(fields && fields.peek() == EOF && c1 == ',' && c2 == ',' && c3 == ','
                    && c4 == ',')
            << "not a CSV row of five whole numbers: " << line;
        rows.push_back(r);
    }
    return rows;
}

// The speed steps of the first `ticks` beats, as metronome-trace plays them.
std::vector<Row> tracedRows(const Plan& plan, std::int64_t ticks)
{
    std::string script = plan.time == "4/4"   ? "option fourfour\n"
                         : plan.time == "3/4" ? "option threefour\n"
                                              : "option twofour\n";
    script += "option inc" + plan.increase + "\n";
    for (const auto& [box, text] : plan.boxes)
        script += "text " + box + " " + tavro::trace::quoteText(text) + "\n";
    script += "start\ntick " + std::to_string(ticks) + "\n";
    std::ostringstream out, err;
    EXPECT_EQ(tavro::trace::runTraceScript(script, out, err), 0) << err.str();

    std::vector<Row> rows;
    std::int64_t interval = 0, spacing = 0, time = 0;
    bool stepped = false;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word, speedWord;
        std::int64_t value = 0, speed = 0;
        words >> word >> value;
        if (word == "interval") {
            interval = value;
            if (rows.empty() && !stepped)
                spacing = value;  // set by START
            stepped = true;
        } else if (word == "tick") {
            words >> speedWord >> speed;
            time += spacing;  // beat k follows beat k-1 by the interval then in force
            if (stepped)
                rows.push_back({std::int64_t(rows.size()) + 1, speed, interval, value, time});
            stepped = false;
            spacing = interval;
        }
    }
    return rows;
}

// The CSV up to the maximum, and with --steps a few rows beyond, against the trace.
void expectRowsOfEngine(const Plan& plan)
{
    const std::vector<Row> toMaximum = csvRows(plan);
    ASSERT_FALSE(toMaximum.empty());
    const std::size_t count = toMaximum.size() + 3;
    const std::vector<Row> more = csvRows(plan, {"--steps", std::to_string(count)});
    ASSERT_EQ(more.size(), count);
    const std::int64_t beatsPerStep = count > 1 ? more[1].firstBeat - 1 : 1;
    std::vector<Row> traced = tracedRows(plan, beatsPerStep * std::int64_t(count - 1) + 1);
    ASSERT_GE(traced.size(), count);
    traced.resize(count);
    EXPECT_EQ(more, traced);

    // The plan ends at the first step that sets the maximum's whole-millisecond interval.
    const std::int32_t top = toMaximum.back().intervalMs;
    for (std::size_t i = 0; i + 1 < toMaximum.size(); ++i)
        EXPECT_NE(toMaximum[i].intervalMs, top) << "row " << i + 1 << " is at the maximum already";
    EXPECT_EQ(std::vector<Row>(traced.begin(), traced.begin() + toMaximum.size()), toMaximum);
}

TEST(PlanRows, LinearPlansAreTheEnginesSteps)
{
    expectRowsOfEngine({});  // the window's defaults
    expectRowsOfEngine({{{"length", "3"},
                         {"intro", "0"},
                         {"repeat", "3"},
                         {"startspeed", "165"},
                         {"maxspeed", "170"},
                         {"linear", "10"}},
                        "3/4"});
    // An introduction written with an exponent is half a bar: no bar 0 is ever met.
    expectRowsOfEngine({{{"length", "2"},
                         {"intro", "5E-1"},
                         {"repeat", "2"},
                         {"startspeed", "250"},
                         {"maxspeed", "350"},
                         {"linear", "40"},
                         {"skip", "60"}},
                        "2/4"});
}

TEST(PlanRows, SkipPlansAreTheEnginesSteps)
{
    const auto skip = [](std::string start, std::string max, std::string linear, std::string up) {
        return Plan{{{"length", "1"},
                     {"intro", "1"},
                     {"repeat", "2"},
                     {"startspeed", start},
                     {"maxspeed", max},
                     {"linear", linear},
                     {"skip", up}},
                    "2/4",
                    "skip"};
    };
    expectRowsOfEngine(skip("100", "170", "10", "40"));  // lands on 170 exactly from 140
    expectRowsOfEngine(skip("30", "60", "1", "60"));     // returns down to 1 beat per minute
    // 62 is a maximum the capped step lands on a rounding error off: it alternates for good.
    const Plan inexact = skip("59", "62", "1", "60");
    expectRowsOfEngine(inexact);
    const std::vector<Row> rows = csvRows(inexact, {"--steps", "8"});
    EXPECT_EQ(rows[5].speed, 62);
    EXPECT_EQ(rows[6].speed, 3);
    EXPECT_EQ(rows[7].speed, 62);
}

TEST(PlanRows, APlanThatStartsAtTheMaximumIsOneRow)
{
    // START cleans both to 100 after comparing the uncleaned texts.
    const Plan plan{{{"startspeed", "100.2"}, {"maxspeed", "100.7"}}};
    const std::vector<Row> rows = csvRows(plan);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (Row{1, 100, 600, 1, 600}));
    expectRowsOfEngine(plan);
}

// The text a user types, in one of the forms that read as `value`.
std::string typed(int value, std::mt19937_64& rng)
{
    switch (rng() % 4) {
    case 0: return std::to_string(value) + ".7";  // START cuts the fraction
    case 1: return " " + std::to_string(value) + " ";
    case 2: return std::to_string(value) + "0E-1";
    default: return std::to_string(value);
    }
}

TEST(PlanRows, RandomPlansAreTheEnginesSteps)
{
    const char* seedText = std::getenv("TAVRO_PLAN_SEED");
    const std::uint64_t seed =
        seedText ? std::strtoull(seedText, nullptr, 10) : std::random_device{}();
    std::cout << "seed " << seed << " (replay: TAVRO_PLAN_SEED=" << seed << ")\n";
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 rng(seed);
    const auto within = [&rng](int lowest, int highest) {
        return lowest + int(rng() % std::uint64_t(highest - lowest + 1));
    };
    for (int n = 0; n < 150 && !testing::Test::HasFailure(); ++n) {
        const int start = within(30, 250);
        const int linear = within(1, 40);
        Plan plan{{{"length", typed(within(1, 3), rng)},
                   {"intro", rng() % 5 == 0 ? "5E-1" : typed(within(0, 2), rng)},
                   {"repeat", rng() % 5 == 0 ? "15E-1" : typed(within(1, 3), rng)},
                   {"startspeed", typed(start, rng)},
                   {"maxspeed", typed(within(std::max(60, start + 1), 350), rng)},
                   {"linear", typed(linear, rng)},
                   {"skip", typed(within(std::max(10, linear + 1), 60), rng)}},
                  rng() % 3 == 0 ? "4/4"
                  : rng() % 2    ? "3/4"
                                 : "2/4",
                  rng() % 2 ? "linear" : "skip"};
        SCOPED_TRACE("plan " + std::to_string(n));
        expectRowsOfEngine(plan);
    }
}

TEST(PlanReport, TimesAndTemposRoundToTheNearestTenthHalvesToEven)
{
    using tavro::plan::clockTime;
    using tavro::plan::realTempo;
    EXPECT_EQ(clockTime(0), "0:00.0");
    EXPECT_EQ(clockTime(50), "0:00.0");
    EXPECT_EQ(clockTime(150), "0:00.2");
    EXPECT_EQ(clockTime(59'950), "1:00.0");
    EXPECT_EQ(clockTime(3'599'949), "59:59.9");
    EXPECT_EQ(clockTime(3'599'950), "1:00:00.0");
    EXPECT_EQ(clockTime(7'260'000), "2:01:00.0");
    EXPECT_EQ(clockTime(86'399'950), "1 day, 0:00:00.0");
    EXPECT_EQ(clockTime(((2 * 24 + 3) * 60 + 4) * 60'000 + 5'649), "2 days, 3:04:05.6");
    EXPECT_EQ(clockTime(18'626'966 * 60'000LL + 25'250), "12935 days, 9:26:25.2");
    EXPECT_EQ(realTempo(171), "350.9");
    EXPECT_EQ(realTempo(384), "156.2");  // 156.25
    EXPECT_EQ(realTempo(60'000), "1.0");
}

TEST(PlanReport, TheSummaryNamesTheRowAtTheMaximumAndTheEndOfItsPasses)
{
    const Plan plan;
    const std::vector<Row> rows = csvRows(plan);
    const Row& top = rows.back();
    const std::int64_t beatsPerStep = rows[1].firstBeat - 1;
    const Output table = runCommand(commandLine(plan));
    ASSERT_EQ(table.status, 0);
    EXPECT_NE(table.out.find("reached at " + tavro::plan::clockTime(top.startMs)
                             + " after START: step " + std::to_string(top.step) + ", beat "
                             + std::to_string(top.firstBeat) + "."),
              std::string::npos)
        << table.out;
    EXPECT_NE(table.out.find(
                  "end at " + tavro::plan::clockTime(top.startMs + beatsPerStep * top.intervalMs)
                  + ", after beat " + std::to_string(top.firstBeat + beatsPerStep - 1) + "."),
              std::string::npos)
        << table.out;
}

// What the summary says of a skip plan's course at its maximum: the step from which it
// stays there, or from which it alternates with one lower speed for good.
struct Hold {
    std::int64_t step = 0;
    std::optional<std::int64_t> otherSpeed;
};

Hold summaryHold(const Plan& plan)
{
    const Output table = runCommand(commandLine(plan));
    std::smatch found;
    const std::regex sentence(
        "From step ([0-9]+) on \\([^)]*\\) it (stays at the maximum|alternates "
        "for good between the maximum and ([0-9]+) beats per minute)");
    EXPECT_TRUE(std::regex_search(table.out, found, sentence)) << table.out;
    Hold hold;
    if (!found.empty()) {
        hold.step = std::stoll(found[1]);
        if (found[3].matched)
            hold.otherSpeed = std::stoll(found[3]);
    }
    return hold;
}

// For every maximum, against the engine ticked beat by beat ten steps past the step
// named: from that step on the speed follows the pattern named, the step before does not
// begin it yet; and the plan alternates for good exactly where the capped step cannot
// land on the maximum.
TEST(PlanReport, ASkipPlanSaysHowItGoesOnAtTheMaximum)
{
    const auto& inexact = tavro::test::kInexactMaxima;
    for (int max = 60; max <= 350; ++max) {
        const Plan plan{{{"length", "1"},
                         {"intro", "1"},
                         {"repeat", "2"},
                         {"startspeed", "30"},
                         {"maxspeed", std::to_string(max)},
                         {"linear", "7"},
                         {"skip", "40"}},
                        "2/4",
                        "skip"};
        SCOPED_TRACE("maximum " + std::to_string(max));
        const Hold hold = summaryHold(plan);
        ASSERT_GT(hold.step, 0);
        EXPECT_EQ(hold.otherSpeed.has_value(),
                  std::find(inexact.begin(), inexact.end(), max) != inexact.end());
        const std::vector<Row> toMaximum = csvRows(plan);
        const std::int64_t top = toMaximum.back().speed;
        const auto speedAt = [&](std::int64_t step) {
            return (step - hold.step) % 2 == 0 ? top : hold.otherSpeed.value_or(top);
        };
        constexpr std::int64_t kBeatsPerStep = 8;
        const std::vector<Row> traced = tracedRows(plan, kBeatsPerStep * (hold.step + 10) + 1);
        ASSERT_GE(std::int64_t(traced.size()), hold.step + 10);
        for (std::int64_t step = hold.step; step < hold.step + 10; ++step)
            EXPECT_EQ(traced[step - 1].speed, speedAt(step)) << "step " << step;
        if (hold.step > toMaximum.back().step) {
            EXPECT_FALSE(traced[hold.step - 2].speed == speedAt(hold.step - 1)
                         && traced[hold.step - 3].speed == speedAt(hold.step - 2))
                << "the pattern begins before step " << hold.step;
        }
    }
}

}  // namespace
