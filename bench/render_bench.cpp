// The cost of one graph cycle's samples on the sound thread: the renderer writing a block
// of 64 to 2048 frames of a run at 350 bpm (clicks of 8 beeps, 64 ms of every 171 ms),
// the click schedule read through its triple buffer each time. "per_frame" tells whether
// a shorter cycle costs more per frame than a long one.
#include <benchmark/benchmark.h>

#include "audio/click_renderer.h"
#include "audio/click_schedule.h"

#include <array>
#include <cstdint>
#include <vector>

namespace {

using namespace tavro::audio;

constexpr std::int64_t kBeatFrames = 171 * kFramesPerMillisecond;

void BM_RenderCycle(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    ClickSchedule schedule;
    ClickRenderer renderer(schedule);
    std::vector<std::int16_t> out(static_cast<std::size_t>(frames));
    std::int64_t first = 0;
    std::int64_t published = -1;
    std::int64_t sounding = 0;
    for (auto _ : state) {
        // The user interface publishes the coming beat and the one after, a beat ahead.
        const std::int64_t coming = (first + kBeatFrames - 1) / kBeatFrames * kBeatFrames;
        if (coming != published) {
            const std::array<Click, 2> clicks{{{coming, 8}, {coming + kBeatFrames, 8}}};
            schedule.publish(clicks.data(), 2);
            published = coming;
        }
        renderer.render(out.data(), first, frames);
        benchmark::DoNotOptimize(out.data());
        sounding += out[static_cast<std::size_t>(frames / 2)] != 0;  // a check, not timed much
        first += frames;
    }
    // About 0.37 of the blocks sound (64 ms of clicks in every 171 ms): the clicks are written.
    state.counters["sounding"] = static_cast<double>(sounding) / static_cast<double>(state.iterations());
    state.counters["per_frame"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * frames,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RenderCycle)->Arg(64)->Arg(256)->Arg(2048);

}  // namespace

BENCHMARK_MAIN();
