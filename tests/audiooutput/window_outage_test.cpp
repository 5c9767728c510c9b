// The main window playing through a private sound server that goes away mid-run and
// comes back: the run never stops, its beats keep one grid throughout (heard on the
// stream, then rung on the bell, then heard on a new stream), and the user is told once.
#include "beat_watcher.h"
#include "mainwindow/form1.h"
#include "private_sound_server.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tavro::audio::testing;

constexpr double kIntervalMs = 240;  // 250 beats per minute
constexpr int kMissedPollsAllowed = 2;

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

    runEventsFor(2500);
    EXPECT_EQ(bells, 0) << "the stream plays";
    const double killedAt = watcher.nowMs();
    server.kill();
    runEventsFor(2500);
    const int bellsInOutage = bells;
    EXPECT_GE(bellsInOutage, 8 * 8) << "the bell takes over (8 beeps a beat)";
    Busy restart{watcher.nowMs(), 0};
    ASSERT_TRUE(server.start());
    restart.toMs = watcher.nowMs();
    runEventsFor(2500);  // the output retries about once a second
    const int bellsAfterResume = bells;
    runEventsFor(1500);
    EXPECT_EQ(bells, bellsAfterResume) << "the stream plays again";
    EXPECT_EQ(form.findChildren<QMessageBox*>("notice").size(), 1u);
    QTest::mouseClick(form.findChild<QPushButton*>("Command3"), Qt::LeftButton);

    // Every beat shown in order, on one grid throughout.
    ASSERT_GT(watcher.shown().size(), 30u);
    ShownRun run = numberBeats(watcher.shown());
    EXPECT_EQ(run.repeated, 0) << "a beat shown twice";
    EXPECT_LE(run.missed, kMissedPollsAllowed) << "beat labels not seen";
    std::erase_if(run.beats,
                  [&](const ShownBeat& beat) { return restart.covers(beat.shown.atMs); });
    // The stretches: on the first stream, on the bell, on the second stream.
    expectStretchesOnOneGrid(run.beats, kIntervalMs, {killedAt, restart.fromMs},
                             "server killed at " + std::to_string(killedAt) + " ms, restarted "
                                 + std::to_string(restart.fromMs) + "-"
                                 + std::to_string(restart.toMs) + " ms");
}

}  // namespace
