// The cost of one beat of the engine, at the start of a run and after 10^7 beats of the
// same run, for a linear and a skip plan. A flat cost shows in equal figures. Each
// iteration plays a block of beats timed on its own, so the setup (START, or the 10^7
// beats that age the run) is never counted; "per_beat" is the time of one beat.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <memory>

#include "engine/headless_window.h"
#include "engine/metronome.h"

namespace {

using namespace tavro;

constexpr int kBlock = 1000;
constexpr long kAged = 10'000'000;

// A plan that steps often: 2/4, one bar, no introduction, one repeat, so every second
// beat is a speed step and the skip plan spends most steps on its maximum.
struct Run {
    HeadlessWindow window;
    Metronome metronome{window};

    explicit Run(bool skip)
    {
        metronome.Form_Load();
        window.typeBoxTexts({"1", "0", "1", "30", "338", "5", "40"});
        window.turnOptionOn(Option::TwoFour);
        window.turnOptionOn(skip ? Option::IncSkip : Option::IncLinear);
        metronome.Command2_Click();
    }
};

double timeBlock(Metronome& metronome)
{
    const auto began = std::chrono::steady_clock::now();
    for (int i = 0; i < kBlock; ++i)
        metronome.Timer1_Timer();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
}

void reportPerBeat(benchmark::State& state)
{
    state.counters["per_beat"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The first kBlock beats after START, again and again.
void BM_BeatsAtStart(benchmark::State& state)
{
    Run run(state.range(0) == 1);
    for (auto _ : state) {
        run.metronome.Command2_Click();
        state.SetIterationTime(timeBlock(run.metronome));
    }
    reportPerBeat(state);
}

// Beats of a run that has already played 10^7 of them (aged once per plan and kept).
void BM_BeatsAfterTenMillion(benchmark::State& state)
{
    static std::array<std::unique_ptr<Run>, 2> aged;
    auto& run = aged[static_cast<std::size_t>(state.range(0))];
    if (!run) {
        run = std::make_unique<Run>(state.range(0) == 1);
        for (long i = 0; i < kAged; ++i)
            run->metronome.Timer1_Timer();
    }
    for (auto _ : state)
        state.SetIterationTime(timeBlock(run->metronome));
    reportPerBeat(state);
}

BENCHMARK(BM_BeatsAtStart)->ArgName("skip")->Arg(0)->Arg(1)->UseManualTime();
BENCHMARK(BM_BeatsAfterTenMillion)->ArgName("skip")->Arg(0)->Arg(1)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
