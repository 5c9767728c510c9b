// The main window playing through a private sound server that goes away mid-run and
// comes back: the run never stops, its beats keep one grid throughout (heard on the
// stream, then rung on the bell, then heard on a new stream), and the user is told once.
#include "mainwindow/form1.h"
#include "private_sound_server.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using tavro::audio::testing::PrivateSoundServer;

constexpr double kIntervalMs = 240;  // 250 beats per minute
// A busy machine may hold the user-interface thread up now and then, so a label can show
// late, and the watcher's poll may even miss one change. What a fault does instead (a
// beat counted twice or lost, the clock jumping at a change of output) shows as a beat
// far off the grid, or as the beats of one stretch of the run (on the first stream, on
// the bell, on the second stream) sitting apart from those of another.
constexpr double kFarOffMs = 120;       // half an interval: no beat may be this far off
constexpr double kStretchApartMs = 10;  // the stretches' medians must agree within this
constexpr int kMissedPollsAllowed = 2;

// When the beat label changed, and to what, polled every millisecond.
struct BeatShown {
    double atMs;
    int beat;
};

class BeatWatcher {
public:
    explicit BeatWatcher(const QLabel* label)
        : label_(label)
    {
        clock_.start();
        poll_.setTimerType(Qt::PreciseTimer);
        poll_.setInterval(1);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            const QString text = label_->text();
            if (text != last_) {
                last_ = text;
                shown_.push_back({nowMs(), text.toInt()});
            }
        });
        poll_.start();
    }

    double nowMs() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e6; }
    const std::vector<BeatShown>& shown() const { return shown_; }

private:
    const QLabel* label_;
    QElapsedTimer clock_;
    QTimer poll_;
    QString last_;
    std::vector<BeatShown> shown_;
};

struct Busy {
    double fromMs, toMs;
    bool covers(double ms) const { return ms >= fromMs && ms <= toMs + 50; }
};

TEST(WindowSoundServerOutage, TheRunKeepsItsGridAndSoundComesBack)
{
    if (!PrivateSoundServer::installed())
        GTEST_SKIP() << "pulseaudio and pacat are not installed (scripts/install-deps.sh)";
    PrivateSoundServer server;
    ASSERT_TRUE(server.start());
    int bells = 0;
    tavro::ui::Form1 form({.beep = [&bells] { ++bells; }});
    form.show();
    form.findChild<QLineEdit*>("startspeed")->setText("250");
    form.findChild<QLineEdit*>("repeat")->setText("100");  // no speed step in the test
    BeatWatcher watcher(form.findChild<QLabel*>("beatlabel"));
    QTest::mouseClick(form.findChild<QPushButton*>("Command2"), Qt::LeftButton);

    QTest::qWait(2500);
    EXPECT_EQ(bells, 0) << "the stream plays";
    const double killedAt = watcher.nowMs();
    server.kill();
    QTest::qWait(2500);
    const int bellsInOutage = bells;
    EXPECT_GE(bellsInOutage, 8 * 8) << "the bell takes over (8 beeps a beat)";
    Busy restart{watcher.nowMs(), 0};
    ASSERT_TRUE(server.start());
    restart.toMs = watcher.nowMs();
    QTest::qWait(2500);  // the output retries about once a second
    const int bellsAfterResume = bells;
    QTest::qWait(1500);
    EXPECT_EQ(bells, bellsAfterResume) << "the stream plays again";
    EXPECT_EQ(form.findChildren<QMessageBox*>("notice").size(), 1u);
    QTest::mouseClick(form.findChild<QPushButton*>("Command3"), Qt::LeftButton);

    // Every beat shown in order, on one grid throughout. The beat label counts 1 to 4, so
    // the number of a beat follows from how far the label moved since the last change.
    const std::vector<BeatShown>& shown = watcher.shown();
    ASSERT_GT(shown.size(), 30u);
    struct Beat {
        int k;
        double atMs;
    };
    std::vector<Beat> beats;
    int k = 0, missed = 0;
    for (std::size_t i = 1; i + 1 < shown.size(); ++i) {  // [0] is the "0" of START
        if (i > 1) {
            const int step = (shown[i].beat - shown[i - 1].beat + 4) % 4;
            ASSERT_NE(step, 0) << "the beat label changed to " << shown[i].beat << " twice";
            k += step;
            missed += step - 1;
        }
        if (!restart.covers(shown[i].atMs))
            beats.push_back({k, shown[i].atMs});
    }
    EXPECT_LE(missed, kMissedPollsAllowed) << "beat labels not seen";

    // Where the beats of each stretch put beat 0 of the grid, by their median, so a beat
    // that a busy machine showed late does not count.
    auto originOf = [](std::vector<double> origins) {
        std::nth_element(origins.begin(), origins.begin() + origins.size() / 2, origins.end());
        return origins[origins.size() / 2];
    };
    std::array<std::vector<double>, 3> stretches;  // first stream, bell, second stream
    for (const Beat& beat : beats) {
        const int stretch = beat.atMs < killedAt ? 0 : beat.atMs < restart.fromMs ? 1 : 2;
        stretches[static_cast<std::size_t>(stretch)].push_back(beat.atMs - beat.k * kIntervalMs);
    }
    for (const std::vector<double>& stretch : stretches)
        ASSERT_GE(stretch.size(), 5u) << "too few beats shown in a stretch of the run";
    const double originMs = originOf(stretches[0]);
    for (std::size_t i = 1; i < stretches.size(); ++i)
        EXPECT_LE(std::abs(originOf(stretches[i]) - originMs), kStretchApartMs)
            << "the beats of stretch " << i << " left the grid of the first stream";
    double worstMs = 0;
    for (const Beat& beat : beats) {
        const double offMs = beat.atMs - (originMs + beat.k * kIntervalMs);
        EXPECT_LT(std::abs(offMs), kFarOffMs)
            << "beat " << beat.k << " at " << beat.atMs << " ms (server killed at " << killedAt
            << " ms, restarted " << restart.fromMs << "-" << restart.toMs << " ms)";
        worstMs = std::max(worstMs, std::abs(offMs));
    }
    RecordProperty("worst_offset_us", static_cast<int>(worstMs * 1000));
    std::printf("worst beat off the grid: %.2f ms; stretches apart by %.2f and %.2f ms; %d not "
                "seen\n",
                worstMs, originOf(stretches[1]) - originMs, originOf(stretches[2]) - originMs,
                missed);
}

}  // namespace
