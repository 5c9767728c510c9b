// click-onsets on recordings made here: clicks placed at known frames of a WAV file,
// in silence without noise, checked against a trace's grid.
#include "expected_grid.h"
#include "grid_comparison.h"
#include "onsets.h"
#include "wav_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

namespace {

using namespace tavro::onsets;

constexpr int kRate = 48000;
constexpr int kBeepFrames = 384;  // 8 ms

// A beep that starts and ends at zero: a 1 kHz tone under a raised-cosine window.
std::int16_t beep(int frame)
{
    const double t = double(frame) / kBeepFrames;
    const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * t);
    return std::int16_t(12000 * window * std::sin(2 * std::numbers::pi * 1000 * frame / kRate));
}

// Little-endian bytes of a 16-bit PCM WAV, with a LIST chunk before the data as some
// recorders write, and optionally a data size too large (a recorder killed early).
std::string wav(const std::vector<std::int16_t>& samples, int channels, bool truncated = false)
{
    std::string out;
    auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += char(value >> (8 * i) & 0xFF);
    };
    const std::uint32_t dataBytes = std::uint32_t(2 * samples.size());
    out += "RIFF";
    put(4 + 24 + 14 + 8 + dataBytes, 4);
    out += "WAVEfmt ";
    put(16, 4), put(1, 2), put(channels, 2), put(kRate, 4), put(kRate * 2 * channels, 4);
    put(2 * channels, 2), put(16, 2);
    out += "LIST";
    put(5, 4);
    out += "INFOx";
    out += '\0';  // pad byte of the odd-sized chunk
    out += "data";
    put(truncated ? 0xFFFFFFFF : dataBytes, 4);
    for (std::int16_t s : samples)
        put(std::uint16_t(s), 2);
    return out;
}

// A mono recording of `frames` frames with a click of `beeps` beeps at each position;
// with `channels` 2 the click is on the right channel only.
Recording record(std::int64_t frames, const std::vector<std::int64_t>& clicks, int channels = 1,
                 int beeps = 8)
{
    std::vector<std::int16_t> samples(std::size_t(frames * channels), 0);
    for (std::int64_t at : clicks)
        for (int f = 0; f < beeps * kBeepFrames && at + f < frames; ++f)
            if (at + f >= 0)
                samples[std::size_t((at + f) * channels + channels - 1)] = beep(f % kBeepFrames);
    Recording recording;
    std::string problem;
    EXPECT_TRUE(parseWav(wav(samples, channels), recording, problem)) << problem;
    return recording;
}

// 60 bpm for three beats, then a speed step in tick 3 to 120 bpm, a pause of two idle
// expiries after tick 5, and one more beat.
constexpr const char* kTrace =
    "text length \"1\"\ninterval 1000\ntick 1 speed 60 bar 1 of 1 repeat 1 of 1 beat 1 beeps 8\n"
    "tick 2 x\ninterval 500\ntick 3 x\nmessage \"m\" title \"t\"\ntick 4 x\ntick 5 x\ntick 8 x\n";

std::vector<ExpectedBeat> grid(const std::string& trace)
{
    std::istringstream in(trace);
    std::vector<ExpectedBeat> beats;
    std::string problem;
    EXPECT_TRUE(readExpectedGrid(in, beats, problem)) << problem;
    return beats;
}

Comparison compare(const Recording& recording, const std::vector<ExpectedBeat>& beats,
                   std::int64_t tolerance = 0)
{
    ComparisonRule rule;
    rule.recordingFrames = std::int64_t(recording.level.size());
    rule.toleranceFrames = tolerance;
    const auto onsets = findOnsets(recording.level, {});
    return compareWithGrid(onsets, beats, bestAlignment(onsets, beats, rule, 4));
}

const std::vector<std::int64_t> kGridMs = {0, 1000, 2000, 2500, 3000, 4500};

std::vector<std::int64_t> clicksOnGrid(std::int64_t start)
{
    std::vector<std::int64_t> clicks;
    for (std::int64_t ms : kGridMs)
        clicks.push_back(start + ms * 48);
    return clicks;
}

TEST(ClickOnsets, GridFollowsStepsAndPausesOfTheTrace)
{
    std::vector<std::int64_t> ms;
    for (const ExpectedBeat& beat : grid(kTrace))
        ms.push_back(beat.ms);
    EXPECT_EQ(ms, kGridMs);

    std::vector<ExpectedBeat> beats;
    std::string problem;
    std::istringstream noBeat("interval 500\n"), tickFirst("tick 1 x\ninterval 500\n");
    EXPECT_FALSE(readExpectedGrid(noBeat, beats, problem));
    EXPECT_FALSE(readExpectedGrid(tickFirst, beats, problem));
}

TEST(ClickOnsets, ClicksOnTheGridPassAtZeroSamples)
{
    for (int channels : {1, 2}) {
        const Comparison result =
            compare(record(5 * kRate, clicksOnGrid(12345), channels), grid(kTrace));
        EXPECT_TRUE(result.passes(0));
        EXPECT_EQ(result.found, 6u);
        EXPECT_EQ(result.expected, 6u);
        EXPECT_EQ(result.maxDeviation, 0);
        EXPECT_EQ(result.lastDeviation, 0);
        EXPECT_EQ(result.extra + result.missing + result.late, 0u);
    }
}

TEST(ClickOnsets, OneClickOneSampleLateFails)
{
    auto clicks = clicksOnGrid(1000);
    clicks[3] += 1;
    const Comparison result = compare(record(5 * kRate, clicks), grid(kTrace));
    EXPECT_FALSE(result.passes(0));
    EXPECT_TRUE(result.passes(1));
    // Heard late, it may be a click whose head the server dropped: a lost click, if allowed;
    // heard early, it is not.
    EXPECT_TRUE(result.passes(0, 1));
    clicks[3] -= 2;
    EXPECT_FALSE(compare(record(5 * kRate, clicks), grid(kTrace)).passes(0, 1));
    EXPECT_EQ(result.maxDeviation, 1);
    EXPECT_EQ(result.late, 0u);  // 1 sample is not yet late by a millisecond
    ASSERT_EQ(result.findings.size(), 1u);
    EXPECT_EQ(result.findings[0].tick, 4);
    EXPECT_EQ(result.findings[0].deviation, 1);
}

TEST(ClickOnsets, MissingClickAndStrayOnsetFail)
{
    auto clicks = clicksOnGrid(1000);
    clicks.erase(clicks.begin() + 2);
    Comparison result = compare(record(5 * kRate, clicks), grid(kTrace));
    EXPECT_FALSE(result.passes(1000));
    EXPECT_EQ(result.missing, 1u);
    EXPECT_EQ(result.expected, 6u);
    ASSERT_FALSE(result.findings.empty());
    EXPECT_TRUE(result.findings[0].missing);
    EXPECT_EQ(result.findings[0].tick, 3);

    clicks = clicksOnGrid(1000);
    clicks[3] += 2 * 48;    // 2 ms late
    clicks[4] += 100 * 48;  // 100 ms off: not this beat's click
    result = compare(record(5 * kRate, clicks), grid(kTrace));
    EXPECT_EQ(result.late, 1u);
    EXPECT_EQ(result.missing, 1u);
    EXPECT_EQ(result.extra, 1u);

    // A sound before the run is one extra onset; the grid is laid on the clicks.
    clicks = clicksOnGrid(30000);
    clicks.insert(clicks.begin(), 5000);
    result = compare(record(6 * kRate, clicks), grid(kTrace));
    EXPECT_EQ(result.matched, 6u);
    EXPECT_EQ(result.maxDeviation, 0);
    EXPECT_EQ(result.extra, 1u);
    EXPECT_FALSE(result.passes(0));

    // So is a lost first click: the rest stays on the grid.
    clicks = clicksOnGrid(30000);
    clicks.erase(clicks.begin());
    result = compare(record(6 * kRate, clicks), grid(kTrace));
    EXPECT_EQ(result.matched, 5u);
    EXPECT_EQ(result.maxDeviation, 0);
    EXPECT_EQ(result.missing, 1u);
}

TEST(ClickOnsets, ASlipShowsOnceAmongTheSpacings)
{
    // The stream ran dry for 20 ms before beat 4: every later click is late on the grid,
    // but only one spacing is wrong.
    auto clicks = clicksOnGrid(30000);
    for (std::size_t k = 3; k < clicks.size(); ++k)
        clicks[k] += 970;
    const Recording recorded = record(6 * kRate, clicks);
    EXPECT_FALSE(compare(recorded, grid(kTrace)).passes(240));
    ComparisonRule rule;
    rule.recordingFrames = std::int64_t(recorded.level.size());
    const auto faults = spacingFaults(findOnsets(recorded.level, {}), grid(kTrace), rule);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_EQ(faults[0].tick, 4);
    EXPECT_EQ(faults[0].deviation, 970);
}

TEST(ClickOnsets, SteadyDriftIsMeasured)
{
    std::string trace = "interval 1000\n";
    std::vector<std::int64_t> clicks;
    for (int k = 0; k < 10; ++k) {
        trace += "tick " + std::to_string(k + 1) + " x\n";
        clicks.push_back(5000 + k * 48001);  // one sample a second too slow: 20.8 ppm
    }
    const Comparison result = compare(record(11 * kRate, clicks, 1, 15), grid(trace));
    EXPECT_EQ(result.lastDeviation, 9);
    EXPECT_NEAR(result.driftPpm, 1e6 / 48000, 0.01);
    EXPECT_EQ(result.matched, 10u);
}

TEST(ClickOnsets, RecordingEdgesAndDamagedFiles)
{
    // A click under way when the recording starts is no onset, and a click cut by the
    // recording's end is not judged.
    const Recording recorded = record(2 * kRate + 100, {-200, 2000, 50000, 96050}, 1, 1);
    const Comparison result = compare(recorded, grid(kTrace));
    EXPECT_EQ(result.found, 3u);
    EXPECT_EQ(result.expected, 2u);
    EXPECT_TRUE(result.passes(0));

    Recording recording;
    std::string problem;
    EXPECT_TRUE(parseWav(wav({0, 7, -9}, 1, true), recording, problem)) << problem;
    EXPECT_EQ(recording.level, (std::vector<std::uint16_t>{0, 7, 9}));
    std::string eightBit = wav({0}, 1);
    eightBit[34] = 8;
    EXPECT_FALSE(parseWav(eightBit, recording, problem));
    EXPECT_FALSE(parseWav("RIFF....WAVE", recording, problem));
}

}  // namespace
