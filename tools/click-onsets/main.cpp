// click-onsets [OPTIONS] RECORDING.wav TRACE: finds every click in a recording to the
// sample and compares the clicks with the beat grid of a metronome-trace output.
#include "expected_grid.h"
#include "grid_comparison.h"
#include "onsets.h"
#include "wav_reader.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tavro::onsets;

constexpr const char* kUsage =
    "usage: click-onsets [--tolerance SAMPLES] [--threshold LEVEL] [--silence-ms MS]\n"
    "                    [--window-ms MS] [--first-beat N] [--lost-clicks N]\n"
    "                    RECORDING.wav TRACE\n";

struct Options {
    std::int64_t tolerance = 0;
    int threshold = 64;
    std::int64_t silenceMs = 20;
    std::int64_t windowMs = 5;
    std::int64_t firstBeat = 1;
    std::int64_t lostClicks = 0;
    std::vector<std::string> files;
};

bool parseNumber(const char* text, std::int64_t& out, std::int64_t minimum)
{
    const std::string_view view(text);
    const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), out);
    return error == std::errc() && end == view.data() + view.size() && out >= minimum;
}

bool parseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!arg.starts_with("--")) {
            options.files.emplace_back(arg);
            continue;
        }
        if (i + 1 == argc)
            return false;
        const char* value = argv[++i];
        std::int64_t threshold = 0;
        bool ok = false;
        if (arg == "--tolerance")
            ok = parseNumber(value, options.tolerance, 0);
        else if (arg == "--silence-ms")
            ok = parseNumber(value, options.silenceMs, 1);
        else if (arg == "--window-ms")
            ok = parseNumber(value, options.windowMs, 1);
        else if (arg == "--first-beat")
            ok = parseNumber(value, options.firstBeat, 1);
        else if (arg == "--lost-clicks")
            ok = parseNumber(value, options.lostClicks, 0);
        else if (arg == "--threshold") {
            ok = parseNumber(value, threshold, 0) && threshold < 32768;
            options.threshold = int(threshold);
        }
        if (!ok)
            return false;
    }
    return options.files.size() == 2;
}

void printFinding(const Finding& finding, int rate)
{
    const double seconds = double(finding.frame) / rate;
    if (finding.tick == 0)
        std::printf("  extra onset at sample %lld (%.3f s)\n", (long long)finding.frame, seconds);
    else if (finding.missing)
        std::printf("  tick %lld: no click near sample %lld (%.3f s)\n", (long long)finding.tick,
                    (long long)finding.frame, seconds);
    else
        std::printf("  tick %lld: onset at sample %lld (%.3f s), %+lld samples\n",
                    (long long)finding.tick, (long long)finding.frame, seconds,
                    (long long)finding.deviation);
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    Recording recording;
    std::string problem;
    if (!readWavFile(options.files[0], recording, problem)) {
        std::fprintf(stderr, "click-onsets: %s\n", problem.c_str());
        return 2;
    }
    std::ifstream trace(options.files[1]);
    std::vector<ExpectedBeat> beats;
    if (!trace || !readExpectedGrid(trace, beats, problem)) {
        std::fprintf(stderr, "click-onsets: %s: %s\n", options.files[1].c_str(),
                     trace ? problem.c_str() : std::strerror(errno));
        return 2;
    }

    const int rate = recording.sampleRate;
    const std::int64_t frames = std::int64_t(recording.level.size());
    const OnsetRule onsetRule{options.threshold, msToFrames(options.silenceMs, rate)};
    const auto onsets = findOnsets(recording.level, onsetRule);
    ComparisonRule rule;
    rule.sampleRate = rate;
    rule.recordingFrames = frames;
    rule.toleranceFrames = options.tolerance;
    rule.windowFrames = msToFrames(options.windowMs, rate);
    rule.lateFrames = msToFrames(1, rate);
    rule.firstBeat = std::size_t(options.firstBeat - 1);
    // A stray sound or a lost click at the start must not shift the grid.
    rule = bestAlignment(onsets, beats, rule, 4);
    const std::vector<Finding> slips = spacingFaults(onsets, beats, rule);
    const Comparison result = compareWithGrid(onsets, beats, rule);

    std::printf("recording: %.3f s at %d Hz\n", double(frames) / rate, rate);
    std::printf("clicks found: %zu\n", result.found);
    std::printf("clicks expected: %zu\n", result.expected);
    std::printf("max deviation: %lld samples\n", (long long)result.maxDeviation);
    std::printf("drift: %+lld samples at the last click, %.3f ppm fitted\n",
                (long long)result.lastDeviation, result.driftPpm);
    std::printf("late clicks (> 1 ms): %zu\n", result.late);
    std::printf("early clicks (< -1 ms): %zu\n", result.early);
    std::printf("missing clicks: %zu\n", result.missing);
    std::printf("extra onsets: %zu\n", result.extra);
    for (const Finding& finding : result.findings)
        printFinding(finding, rate);
    std::int64_t shift = 0;  // where the last click stands after all the slips
    for (const Finding& slip : slips)
        shift += slip.deviation;
    std::printf("spacing faults: %zu\n", slips.size());
    std::printf("shift from spacing faults: %+lld samples\n", (long long)shift);
    for (std::size_t i = 0; i < slips.size() && i < 20; ++i)
        printFinding(slips[i], rate);
    if (result.found == 0)
        std::puts("no click in the recording");
    if (result.gridTooShort)
        std::puts("the trace ends before the recording: give it more ticks");
    const bool pass = result.passes(options.tolerance, std::size_t(options.lostClicks));
    std::printf("result: %s (tolerance %lld samples, %lld lost clicks allowed)\n",
                pass ? "PASS" : "FAIL", (long long)options.tolerance,
                (long long)options.lostClicks);
    return pass ? 0 : 1;
}
