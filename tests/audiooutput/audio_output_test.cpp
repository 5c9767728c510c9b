#include "audio/audio_output.h"
#include "audio/pulse_route.h"
#include "audio/click_sound.h"
#include "generated/project_info.h"
#include "private_sound_server.h"
#include "recorded_clicks.h"
#include "watched_output.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <vector>

namespace tavro::audio {
namespace {

using namespace testing;

// Generous bounds on calls that must return at once: they catch a wait on the audio
// thread or on the sound library, not a slow machine.
constexpr qint64 kReturnsAtOnceMs = 500;

class AudioOutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PrivateSoundServer::installed())
            GTEST_SKIP() << "pulseaudio and pacat are not installed (scripts/install-deps.sh)";
    }

    // The clicks at their frames, and no more written ahead than the stream's buffer
    // (plus what a timing report's age hides).
    void playsClicksAtTheirFrames(WatchedOutput& w)
    {
        expectClicksAtTheirFrames(w, server_, 0,
                                  (PulseRoute::kBuffered.count() + 20) * kFramesPerMillisecond);
    }

    PrivateSoundServer server_;
    QElapsedTimer call_;
};

TEST_F(AudioOutputTest, WithoutServerReportsOnceKeepsTryingAndPlaysWhenOneAppears)
{
    {
        WatchedOutput w;
        call_.start();
        w.output.open();
        EXPECT_LT(call_.elapsed(), kReturnsAtOnceMs);
        ASSERT_TRUE(w.unavailable.wait(3000));
        EXPECT_FALSE(w.unavailable.at(0).at(0).toString().isEmpty());
        QTest::qWait(2500);  // two or three retries
        EXPECT_EQ(w.unavailable.count(), 1);
        EXPECT_EQ(w.started.count(), 0);
        EXPECT_TRUE(w.output.isOpen());
        EXPECT_FALSE(w.output.playedPosition().valid);

        call_.start();
        w.output.close();
        EXPECT_LT(call_.elapsed(), kReturnsAtOnceMs);
        EXPECT_FALSE(w.output.isOpen());
        w.output.open();  // a new open is a new outage, told again
        ASSERT_TRUE(w.unavailable.wait(3000));

        // A server that turns up later is found by the retries.
        ASSERT_TRUE(server_.start());
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.started.count() > 0; }, 6000));
        EXPECT_EQ(w.unavailable.count(), 2);
        call_.start();
    }
    EXPECT_LT(call_.elapsed(), kReturnsAtOnceMs);
}

TEST_F(AudioOutputTest, PlaysEveryClickAtItsFrame)
{
    ASSERT_TRUE(server_.start());
    WatchedOutput w;
    w.output.open();
    ASSERT_TRUE(w.started.wait(5000));
    EXPECT_TRUE(positionOf(w.started, 0).valid);
    EXPECT_EQ(positionOf(w.started, 0).frames, 0);
    ASSERT_TRUE(server_.startRecording());
    playsClicksAtTheirFrames(w);
    EXPECT_EQ(w.unavailable.count(), 0);
}

// A volume mixer shows the stream under the program's name and icon, among the
// applications (not folded into the notification sounds), and finds the program's
// desktop entry by the id.
TEST_F(AudioOutputTest, NamesItselfAsItsDesktopEntryDoes)
{
    ASSERT_TRUE(server_.start());
    WatchedOutput w;
    w.output.open();
    ASSERT_TRUE(w.started.wait(5000));
    const std::vector<PrivateSoundServer::Stream> streams = server_.streamsOfThisProcess();
    ASSERT_EQ(streams.size(), 1u);
    expectNamedAsItsDesktopEntry(streams[0]);
    const QString name = QString::fromUtf8(project::kAppName.data(), project::kAppName.size());
    const QString id = QString::fromUtf8(project::kAppId.data(), project::kAppId.size());

    QFile entry(QStringLiteral(TAVRO_PACKAGING_DIR "/%1.desktop").arg(id));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text))
        << "no desktop entry named after the id: " << entry.fileName().toStdString();
    const QStringList lines = QString::fromUtf8(entry.readAll()).split('\n');
    EXPECT_TRUE(lines.contains(QStringLiteral("Icon=%1").arg(id)));
    EXPECT_TRUE(lines.contains(QStringLiteral("Name=%1").arg(name)));
}

// The whole program stops for 150 ms between two clicks (swapped out, say), longer than
// the stream's buffer: the stream runs dry, but the clicks after it keep their frames.
TEST_F(AudioOutputTest, AStallLosesSoundButNotTime)
{
    ASSERT_TRUE(server_.start());
    WatchedOutput w;
    w.output.open();
    ASSERT_TRUE(w.started.wait(5000));
    ASSERT_TRUE(server_.startRecording());
    const std::uint64_t underflows = w.output.underflows();
    constexpr std::int64_t kGap = 500 * kFramesPerMillisecond;
    std::array<Click, 4> clicks{};
    clicks[0] = {w.output.framesWritten() + 200 * kFramesPerMillisecond, 1};
    for (std::size_t i = 1; i < clicks.size(); ++i)
        clicks[i] = {clicks[i - 1].frame + kGap, 1};
    w.output.schedule().publish(clicks.data(), static_cast<int>(clicks.size()));
    // Heard about 250 ms from now: the stall falls between the first two clicks.
    const QString stall = QStringLiteral("sleep 0.45; kill -STOP %1; sleep 0.15; kill -CONT %1")
                              .arg(QCoreApplication::applicationPid());
    ASSERT_TRUE(QProcess::startDetached(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), stall}));
    const std::int64_t heardAll = clicks.back().frame + kBeepFrames + 100 * kFramesPerMillisecond;
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.output.playedPosition().frames > heardAll; }, 5000));

    EXPECT_GT(w.output.underflows(), underflows) << "the stall did not run the stream dry";

    const std::vector<std::int64_t> onsets = clickOnsets(server_.stopRecording());
    ASSERT_EQ(onsets.size(), clicks.size());
    for (std::size_t i = 1; i < onsets.size(); ++i)
        EXPECT_EQ(onsets[i] - onsets[i - 1], kGap) << "gap " << i - 1;
}

// The server back 0.3 s after it went away.
TEST_F(AudioOutputTest, ServerKilledAndBackGivesANewStreamFromFrameZero)
{
    ASSERT_TRUE(server_.start());
    {
        WatchedOutput w;
        w.output.open();
        ASSERT_TRUE(w.started.wait(5000));
        ASSERT_NO_FATAL_FAILURE(expectOutage(w, server_, 300));
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.output.playedPosition().frames > 0; }, 2000));
        EXPECT_LT(w.output.playedPosition().frames, 2 * kSampleRate);  // counted from the new start
        call_.start();
    }  // destroyed while playing
    EXPECT_LT(call_.elapsed(), kReturnsAtOnceMs);
}

// The server back 5 s after it went away, after several retries: the new stream plays
// on the grid, and a second outage is told and mended just the same.
TEST_F(AudioOutputTest, ServerBackAfterFiveSecondsPlaysAgainOnTheGrid)
{
    ASSERT_TRUE(server_.start());
    WatchedOutput w;
    w.output.open();
    ASSERT_TRUE(w.started.wait(5000));
    ASSERT_NO_FATAL_FAILURE(expectOutage(w, server_, 5000));
    ASSERT_NO_FATAL_FAILURE(playsClicksAtTheirFrames(w));
    expectOutage(w, server_, 0);
}

// A server that stops answering: the output leaves it at once, playing or connecting;
// a connection it does not accept in time is told once and tried again until it does.
TEST_F(AudioOutputTest, AServerThatHangsIsLeftAtOnceAndPlayedToWhenItGoesOn)
{
    ASSERT_TRUE(server_.start());
    {
        WatchedOutput w;
        w.output.open();
        ASSERT_TRUE(w.started.wait(5000));
        server_.setHanging(true);
        QTest::qWait(300);
        call_.start();
        w.output.close();
        w.output.open();
        EXPECT_LT(call_.elapsed(), kReturnsAtOnceMs);
        ASSERT_TRUE(w.unavailable.wait(1500));  // not kept waiting for the server
        QTest::qWait(1500);                     // a retry or two
        EXPECT_EQ(w.unavailable.count(), 1);

        server_.setHanging(false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.started.count() > 1; }, 6000));
        server_.setHanging(true);
        call_.start();
    }
    EXPECT_LT(call_.elapsed(), kReturnsAtOnceMs);
    server_.setHanging(false);
}

TEST_F(AudioOutputTest, EndsAtOnceWhileTheServerIsGone)
{
    ASSERT_TRUE(server_.start());
    {
        WatchedOutput w;
        w.output.open();
        ASSERT_TRUE(w.started.wait(5000));
        server_.kill();
        ASSERT_TRUE(w.unavailable.wait(3000));
        call_.start();
    }
    EXPECT_LT(call_.elapsed(), kReturnsAtOnceMs);
    // The process must still exit cleanly: ctest fails the test if libpulse aborts.
}

}  // namespace
}  // namespace tavro::audio

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
