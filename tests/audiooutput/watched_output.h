#pragma once

#include "audio/audio_output.h"
#include "audio/click_sound.h"
#include "generated/project_info.h"
#include "private_sound_server.h"
#include "recorded_clicks.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <vector>

namespace tavro::audio::testing {

// Gaps that no block or graph cycle divides: the clicks fall inside them.
inline constexpr std::array<std::int64_t, 3> kGaps{8231, 9600, 12345};

inline PlayedPosition positionOf(const QSignalSpy& spy, int i)
{
    return spy.at(i).at(0).value<PlayedPosition>();
}

// An output with its signals watched.
struct WatchedOutput {
    AudioOutput output;
    QSignalSpy started{&output, &AudioOutput::streamStarted};
    QSignalSpy moved{&output, &AudioOutput::streamMoved};
    QSignalSpy unavailable{&output, &AudioOutput::streamUnavailable};
};

// Four clicks scheduled on the stream that started last: `server` records each one at
// its exact frame (within `slack` samples), none late or dropped, and the played position
// keeps to the steady clock from frame 0 (within `clockMs`). With `mostAheadFrames`, no
// more than that is written ahead of what is heard: the beats are counted only that far
// ahead.
inline void expectClicksAtTheirFrames(WatchedOutput& w, PrivateSoundServer& server,
                                      std::int64_t slack = 0, std::int64_t mostAheadFrames = 0,
                                      double clockMs = 25.0)
{
    std::array<Click, 4> clicks{};
    clicks[0] = {w.output.framesWritten() + 150 * kFramesPerMillisecond, 1};
    for (std::size_t i = 0; i < kGaps.size(); ++i)
        clicks[i + 1] = {clicks[i].frame + kGaps[i], static_cast<int>(i % 2) + 1};
    const AudioOutput::ClickCounters before = w.output.clickCounters();
    w.output.schedule().publish(clicks.data(), static_cast<int>(clicks.size()));
    const std::int64_t heardAll =
        clicks.back().frame + 2 * kBeepFrames + 100 * kFramesPerMillisecond;
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.output.playedPosition().frames > heardAll; }, 5000));

    const PlayedPosition zero = positionOf(w.started, w.started.count() - 1);
    const PlayedPosition position = w.output.playedPosition();
    EXPECT_EQ(position.stream, zero.stream);
    if (mostAheadFrames > 0) {
        EXPECT_LT(w.output.framesWritten() - position.frames, mostAheadFrames);
    }
    const double heardForMs =
        std::chrono::duration<double, std::milli>(position.at - zero.at).count();
    EXPECT_NEAR(heardForMs, static_cast<double>(position.frames) / kFramesPerMillisecond, clockMs);

    const std::vector<std::int64_t> onsets = clickOnsets(server.stopRecording());
    ASSERT_EQ(onsets.size(), clicks.size());
    for (std::size_t i = 0; i < kGaps.size(); ++i)
        EXPECT_NEAR(onsets[i + 1] - onsets[i], kGaps[i], slack) << "gap " << i;
    const AudioOutput::ClickCounters after = w.output.clickCounters();
    EXPECT_EQ(after.started - before.started, clicks.size());
    EXPECT_EQ(after.late + after.dropped, before.late + before.dropped);
}

// Kills the server, waits `outageMs` and starts it again: the output tells of the outage
// once and starts a new stream, counted from frame 0.
inline void expectOutage(WatchedOutput& w, PrivateSoundServer& server, int outageMs)
{
    const int told = w.unavailable.count(), streams = w.started.count();
    server.kill();
    ASSERT_TRUE(w.unavailable.wait(5000));
    EXPECT_FALSE(w.output.playedPosition().valid);
    QTest::qWait(outageMs);
    QElapsedTimer sinceBack;  // from before the server's start: an upper bound
    sinceBack.start();
    ASSERT_TRUE(server.start());
    // A bound for a stuck retry, not the resume time: that one goes into the record.
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.started.count() > streams; }, 10000));
    ::testing::Test::RecordProperty("resumed_after_ms", static_cast<int>(sinceBack.elapsed()));
    EXPECT_EQ(w.unavailable.count(), told + 1);
    EXPECT_GT(positionOf(w.started, streams).stream, positionOf(w.started, streams - 1).stream);
    EXPECT_EQ(positionOf(w.started, streams).frames, 0);
}

// A mixer shows the stream under the names of the program's desktop entry, and the
// server keeps the output and volume chosen for it by the program's own id, not by a role
// it would share with every music player.
inline void expectNamedAsItsDesktopEntry(const PrivateSoundServer::Stream& stream)
{
    const std::map<QString, QString>& properties = stream.properties;
    const auto value = [&](const char* key) {
        const auto found = properties.find(QString::fromLatin1(key));
        return found == properties.end() ? QString() : found->second;
    };
    const QString id = QString::fromUtf8(project::kAppId.data(), project::kAppId.size());
    EXPECT_EQ(value("application.name"),
              QString::fromUtf8(project::kAppName.data(), project::kAppName.size()));
    EXPECT_EQ(value("application.id"), id);
    EXPECT_EQ(value("application.icon_name"), id);
    EXPECT_EQ(properties.count("media.role"), 0u);
}

}  // namespace tavro::audio::testing
