#include "audio/audio_output.h"
#include "audio/click_sound.h"
#include "audio/pipewire_route.h"
#include "generated/project_info.h"
#include "private_sound_server.h"
#include "watched_output.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <vector>

// The sound output on a private PipeWire, recorded at the graph's positions: its own
// native stream, and the way to a PulseAudio server beside a PipeWire that plays no sound.
namespace tavro::audio {
namespace {

using namespace testing;
using Kind = PrivateSoundServer::Kind;

// Sets one of the graph's settings, as pw-metadata does (0 frees it again).
bool setGraph(const char* setting, int value)
{
    return QProcess::execute("pw-metadata", {"-n", "settings", "0", setting,
                                             QString::number(value)})
           == 0;
}

class PipeWireOutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PrivateSoundServer::installed(Kind::PipeWire)
            || !PrivateSoundServer::installed(Kind::PulseAudio))
            GTEST_SKIP() << "PipeWire, PulseAudio or graph-record missing "
                            "(scripts/install-deps.sh)";
    }
};

TEST_F(PipeWireOutputTest, PlaysItsOwnStreamOnTheGraphsClockNamedAsItsDesktopEntry)
{
    PrivateSoundServer server(Kind::PipeWire);
    ASSERT_TRUE(server.start());
    WatchedOutput w;
    w.output.open();
    ASSERT_TRUE(w.started.wait(5000));
    EXPECT_EQ(w.output.route(), AudioOutput::Route::PipeWire);
    EXPECT_EQ(positionOf(w.started, 0).frames, 0);

    const std::vector<PrivateSoundServer::Stream> streams = server.streamsOfThisProcess();
    ASSERT_EQ(streams.size(), 1u);
    expectNamedAsItsDesktopEntry(streams[0]);
    std::map<QString, QString> properties = streams[0].properties;
    EXPECT_EQ(properties["node.latency"],
              QString::number(PipeWireRoute::kLatencyFrames) + "/48000");
    EXPECT_EQ(properties.count("client.api"), 0u);  // not a PulseAudio client of PipeWire's

    expectClicksAtTheirFrames(w, server);
    EXPECT_TRUE(w.unavailable.isEmpty());
    // The coming cycle is written whole at its start: a beat is counted that much earlier.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return w.output.framesDue() - w.output.framesWritten() == PipeWireRoute::kLatencyFrames;
    }, 1000));
}

// A new default output, twice: first one with a clock of its own, where the stream's
// frames go on from where they were and its heard position with them; then one on the
// same clock (a remapping sink on top of it), which only the stream's links tell of.
// Either way the output says the stream moved.
TEST_F(PipeWireOutputTest, MovedToAnotherOutputItKeepsItsFramesAndTime)
{
    PrivateSoundServer server(Kind::PipeWire);
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(server.pactl({"load-module", "module-null-sink", "sink_name=metro_other",
                              "rate=48000", "channels=2", "format=s16le"}));
    ASSERT_TRUE(server.pactl({"set-default-sink", "metro_other"}));
    WatchedOutput w;
    w.output.open();
    ASSERT_TRUE(w.started.wait(5000));
    QTest::qWait(300);
    ASSERT_EQ(server.streamsOfThisProcess().size(), 1u);
    EXPECT_EQ(server.streamsOfThisProcess()[0].sink, "metro_other");
    server.stopRecording();  // it would follow the default output too

    ASSERT_TRUE(server.pactl({"set-default-sink", "metro_null"}));
    ASSERT_TRUE(w.moved.wait(3000)) << "to another clock";
    EXPECT_EQ(server.streamsOfThisProcess().at(0).sink, "metro_null");
    ASSERT_TRUE(server.pactl(
        {"load-module", "module-remap-sink", "sink_name=metro_remap", "master=metro_null"}));
    ASSERT_TRUE(server.pactl({"set-default-sink", "metro_remap"}));
    ASSERT_TRUE(w.moved.wait(3000)) << "on the same clock";
    EXPECT_EQ(server.streamsOfThisProcess().at(0).sink, "metro_remap");

    // A driver that starts its cycles anew when the graph changes (the null sink does)
    // may run one of them early: the stream follows the graph's position, which then
    // stands a part of a cycle ahead of the steady clock.
    ASSERT_TRUE(server.startRecording());
    constexpr double kCycleMs = double(PipeWireRoute::kLatencyFrames) / kFramesPerMillisecond;
    expectClicksAtTheirFrames(w, server, 0, 0, 25.0 + kCycleMs);
    EXPECT_EQ(w.started.count(), 1);
}

// A graph locked at 44.1 kHz resamples the stream: its clicks keep their times, to the
// resampler's sample (the recorder resamples them back to 48 kHz).
TEST_F(PipeWireOutputTest, OnAGraphAt44100HzTheClicksKeepTheirTimes)
{
    PrivateSoundServer server(Kind::PipeWire);
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(setGraph("clock.force-rate", 44100));
    QTest::qWait(300);
    WatchedOutput w;
    w.output.open();
    ASSERT_TRUE(w.started.wait(5000));
    EXPECT_EQ(w.output.route(), AudioOutput::Route::PipeWire);
    server.stopRecording();
    ASSERT_TRUE(server.startRecording());
    expectClicksAtTheirFrames(w, server, 1);
    EXPECT_EQ(w.output.underflows(), 0u);
}

// The graph switches its rate while the stream plays, and back: ticks passed at one rate
// are not counted at the other, so the heard position keeps to the steady clock and the
// clicks to their frames (the recorder starts again on each side: it is resampled too).
TEST_F(PipeWireOutputTest, ARateSwitchMidRunMovesNeitherTheClockNorTheClicks)
{
    PrivateSoundServer server(Kind::PipeWire);
    ASSERT_TRUE(server.start());
    WatchedOutput w;
    w.output.open();
    ASSERT_TRUE(w.started.wait(5000));
    QTest::qWait(1500);
    for (const int rate : {44100, 48000}) {
        ASSERT_TRUE(setGraph("clock.force-rate", rate));
        QTest::qWait(700);
        server.stopRecording();
        ASSERT_TRUE(server.startRecording());
        expectClicksAtTheirFrames(w, server, 1);
    }
    EXPECT_EQ(w.unavailable.count(), 0);
    EXPECT_EQ(w.started.count(), 1);
}

// Opened and closed again and again while the graph runs 64-frame cycles: closed while
// connecting, while linking and while the data thread renders, the stream goes without
// a fault (the sanitizers' build runs this too), and the next one plays on its frames.
TEST_F(PipeWireOutputTest, OpenedAndClosedAgainAndAgainAtAShortCycle)
{
    PrivateSoundServer server(Kind::PipeWire);
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(setGraph("clock.force-quantum", 64));
    WatchedOutput w;
    for (int i = 0; i < 40; ++i) {
        w.output.open();
        QTest::qWait(i % 5 * 20);
        w.output.close();
    }
    // Then a stream that must place every click on its frame, at the stream's own cycle:
    // at 64 frames a busy machine misses cycles, and a click's head with them.
    ASSERT_TRUE(setGraph("clock.force-quantum", 0));
    w.output.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.output.route() == AudioOutput::Route::PipeWire; },
                                5000));
    expectClicksAtTheirFrames(w, server);
    EXPECT_EQ(w.unavailable.count(), 0);
}

TEST_F(PipeWireOutputTest, ServerRestartedGivesANewStreamFromFrameZero)
{
    PrivateSoundServer server(Kind::PipeWire);
    ASSERT_TRUE(server.start());
    WatchedOutput w;
    w.output.open();
    ASSERT_TRUE(w.started.wait(5000));
    ASSERT_NO_FATAL_FAILURE(expectOutage(w, server, 0));
    EXPECT_EQ(w.output.route(), AudioOutput::Route::PipeWire);
    expectClicksAtTheirFrames(w, server);
}

// A PipeWire for screen sharing beside PulseAudio: nothing plays until the PulseAudio
// server is there (the bell's time), then the clicks go there.
TEST_F(PipeWireOutputTest, BesideAPipeWireWithoutSinksItPlaysToPulseAudio)
{
    PrivateSoundServer pulse(Kind::PulseAudio);
    PrivateSoundServer screenSharing(Kind::PipeWireWithoutSinks);
    ASSERT_TRUE(screenSharing.start());
    WatchedOutput w;
    w.output.open();
    ASSERT_TRUE(w.unavailable.wait(5000));
    EXPECT_EQ(w.started.count(), 0);
    ASSERT_TRUE(pulse.start());
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.started.count() > 0; }, 8000));
    EXPECT_EQ(w.output.route(), AudioOutput::Route::PulseAudio);
    EXPECT_EQ(pulse.streamsOfThisProcess().size(), 1u);
    expectClicksAtTheirFrames(w, pulse);
}

}  // namespace
}  // namespace tavro::audio

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
