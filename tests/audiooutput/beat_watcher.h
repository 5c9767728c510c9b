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
// change of output) shows as a beat far off the grid, or as the beats of one stretch of
// the run sitting apart from those of another.
inline constexpr double kFarOffMs = 120;       // half an interval at 250 beats per minute
inline constexpr double kStretchApartMs = 10;  // the stretches' medians agree within this

// Checks that the beats keep one grid of `intervalMs` across the stretches of the run
// that `changesMs` divide it into (a change of output, say): the beats of each stretch
// put beat 0 of the grid, by their median, where those of the first stretch do, so that
// a single label a busy machine showed late does not count. `context` goes with the
// message of a beat far off the grid.
inline void expectStretchesOnOneGrid(const std::vector<ShownBeat>& beats, double intervalMs,
                                     const std::vector<double>& changesMs,
                                     const std::string& context)
{
    std::vector<std::vector<double>> stretches(changesMs.size() + 1);
    for (const ShownBeat& beat : beats) {
        const auto stretch = static_cast<std::size_t>(
            std::upper_bound(changesMs.begin(), changesMs.end(), beat.shown.atMs)
            - changesMs.begin());
        stretches[stretch].push_back(beat.shown.atMs - beat.k * intervalMs);
    }
    auto originOf = [](std::vector<double> origins) {
        std::nth_element(origins.begin(), origins.begin() + origins.size() / 2, origins.end());
        return origins[origins.size() / 2];
    };
    for (const std::vector<double>& stretch : stretches)
        ASSERT_GE(stretch.size(), 5u) << "too few beats shown in a stretch of the run";
    const double originMs = originOf(stretches[0]);
    std::string apart;
    for (std::size_t i = 1; i < stretches.size(); ++i) {
        const double byMs = originOf(stretches[i]) - originMs;
        EXPECT_LE(std::abs(byMs), kStretchApartMs)
            << "the beats of stretch " << i << " left the grid of the first (" << context << ")";
        apart += " " + std::to_string(byMs);
    }
    double worstMs = 0;
    for (const ShownBeat& beat : beats) {
        const double offMs = beat.shown.atMs - (originMs + beat.k * intervalMs);
        EXPECT_LT(std::abs(offMs), kFarOffMs)
            << "beat " << beat.k << " at " << beat.shown.atMs << " ms (" << context << ")";
        worstMs = std::max(worstMs, std::abs(offMs));
    }
    ::testing::Test::RecordProperty("worst_offset_us", static_cast<int>(worstMs * 1000));
    std::printf("worst beat off the grid: %.2f ms; later stretches apart by (ms):%s\n", worstMs,
                apart.c_str());
}

}  // namespace tavro::audio::testing
