#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace tavro::audio::testing {

// When the beat label changed, and to what.
struct BeatShown {
    double atMs;  // since the watcher started
    std::chrono::steady_clock::time_point at;
    std::chrono::steady_clock::time_point onTimeline;  // the watcher's timeline then
    int beat;
};

// Polls a window's beat label every millisecond and notes each change, also on
// `timeline` (the window's beat clock, say) when one is given.
class BeatWatcher {
public:
    using Timeline = std::function<std::chrono::steady_clock::time_point()>;

    explicit BeatWatcher(const QLabel* label, Timeline timeline = {})
        : label_(label),
          timeline_(std::move(timeline))
    {
        clock_.start();
        poll_.setTimerType(Qt::PreciseTimer);
        poll_.setInterval(1);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            const QString text = label_->text();
            if (text != last_) {
                last_ = text;
                const auto now = std::chrono::steady_clock::now();
                shown_.push_back({nowMs(), now, timeline_ ? timeline_() : now, text.toInt()});
            }
        });
        poll_.start();
    }

    double nowMs() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e6; }
    const std::vector<BeatShown>& shown() const { return shown_; }

private:
    const QLabel* label_;
    Timeline timeline_;
    QElapsedTimer clock_;
    QTimer poll_;
    QString last_;
    std::vector<BeatShown> shown_;
};

// Runs the event loop for `ms`, as the program's own loop runs. QTest::qWait sleeps up
// to 10 ms between its rounds of events, which would hold every label up that long.
inline void runEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// A beat of a run in 4/4, numbered from the run's first beat (k = 1).
struct ShownBeat {
    int k;
    BeatShown shown;
};

struct ShownRun {
    std::vector<ShownBeat> beats;
    int missed = 0;    // beats whose change the poll did not see
    int repeated = 0;  // changes to the beat already shown: a beat counted twice
};

// Numbers the beats a watched beat label showed after START (whose "0" is the first
// change), by how far the label moved since the change before: it counts 1 to 4, so a
// change the poll missed leaves a gap. The last change is left out: the run may have
// been stopped before it.
inline ShownRun numberBeats(const std::vector<BeatShown>& shown)
{
    ShownRun run;
    int k = 1;
    for (std::size_t i = 1; i + 1 < shown.size(); ++i) {
        if (i > 1) {
            const int step = (shown[i].beat - shown[i - 1].beat + 4) % 4;
            run.repeated += step == 0;
            k += step;
            run.missed += std::max(step - 1, 0);
        }
        run.beats.push_back({k, shown[i]});
    }
    return run;
}

// A busy machine may hold the user-interface thread up now and then, so a label can show
// late. What a fault does instead (a beat counted twice or lost, the clock jumping at a
// change of output) shows as a beat far off the grid, or as many beats off it from the
// change on.
inline constexpr double kFarOffMs = 120;     // half an interval at 250 beats per minute
inline constexpr double kOnTimeMs = 20;      // most beats show within this of the grid...
inline constexpr double kOnTimeShare = 0.9;  // ...this share of them at least

// Checks that the beats keep one grid of `intervalMs`: where most of them put beat 0.
// `context` goes with the message of a beat far off it.
inline void expectOnOneGrid(const std::vector<ShownBeat>& beats, double intervalMs,
                            const std::string& context)
{
    ASSERT_FALSE(beats.empty());
    std::vector<double> origins;
    for (const ShownBeat& beat : beats)
        origins.push_back(beat.shown.atMs - beat.k * intervalMs);
    std::nth_element(origins.begin(), origins.begin() + origins.size() / 2, origins.end());
    const double originMs = origins[origins.size() / 2];
    int onTime = 0;
    double worstMs = 0;
    for (const ShownBeat& beat : beats) {
        const double offMs = beat.shown.atMs - (originMs + beat.k * intervalMs);
        EXPECT_LT(std::abs(offMs), kFarOffMs)
            << "beat " << beat.k << " at " << beat.shown.atMs << " ms (" << context << ")";
        onTime += std::abs(offMs) <= kOnTimeMs;
        worstMs = std::max(worstMs, std::abs(offMs));
    }
    EXPECT_GE(onTime, kOnTimeShare * static_cast<double>(beats.size()))
        << onTime << " of " << beats.size() << " beats within " << kOnTimeMs << " ms";
    ::testing::Test::RecordProperty("worst_offset_us", static_cast<int>(worstMs * 1000));
    std::printf("worst beat off the grid: %.2f ms, %d of %zu within %.0f ms\n", worstMs, onTime,
                beats.size(), kOnTimeMs);
}

}  // namespace tavro::audio::testing
