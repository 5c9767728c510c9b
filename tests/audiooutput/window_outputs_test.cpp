// The main window playing while the desktop's sound settings change under it: the stream
// moved to another output or to a new default output, an output with a large latency (a
// wireless headset), an output that was suspended while nothing played. The clicks are
// checked in what the outputs played, the labels against when each beat was heard.
#include "audio/click_sound.h"
#include "beat_watcher.h"
#include "delayed_sink.h"
#include "grid_comparison.h"
#include "mainwindow/form1.h"
#include "private_sound_server.h"
#include "recorded_clicks.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tavro::audio::testing;
using tavro::audio::kFramesPerMillisecond;
using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr int kMissedPollsAllowed = 2;
// A label shown without the output's latency comes 200 ms or more before its click; a
// busy machine holds a label up by a tenth of a second now and then.
constexpr double kLabelFarOffMs = 150;
constexpr double kOnTimeMs = 20;  // half the labels within this of their clicks

// Clicks heard on one or more outputs that the test plays, on one time axis: frames
// since `epoch`.
struct HeardClicks {
    Clock::time_point epoch;
    std::vector<std::int64_t> onsets;
    std::int64_t length = 0;  // frames listened to
};

HeardClicks hear(const std::vector<PacedPipeReader::Heard>& each)
{
    HeardClicks heard;
    heard.epoch = std::min_element(each.begin(), each.end(), [](const auto& a, const auto& b) {
                      return a.firstAt < b.firstAt;
                  })->firstAt;
    const auto frameOf = [&](Clock::time_point at) {
        return std::chrono::duration_cast<std::chrono::microseconds>(at - heard.epoch).count()
               * kFramesPerMillisecond / 1000;
    };
    for (const PacedPipeReader::Heard& output : each) {
        for (const std::int64_t onset : clickOnsets(output.samples))
            heard.onsets.push_back(frameOf(output.at(onset)));
        heard.length = std::max(
            heard.length, frameOf(output.at(static_cast<std::int64_t>(output.samples.size()))));
    }
    std::sort(heard.onsets.begin(), heard.onsets.end());
    return heard;
}

HeardClicks hear(std::initializer_list<const PacedPipeReader*> outputs)
{
    std::vector<PacedPipeReader::Heard> each;
    for (const PacedPipeReader* output : outputs)
        each.push_back(output->heard());
    return hear(each);
}

// The heard clicks laid on the grid of the counted beats where most of them fit (a lost
// or late first click or a stray sound does not shift it; the speed steps tell the beats
// apart), and which click is which beat: beats whose click lies within `tolerance` of
// the grid.
struct BeatsHeard {
    tavro::onsets::Comparison comparison;
    std::map<std::int64_t, std::int64_t> onsetOf;  // by beat
};

BeatsHeard layOnGrid(const std::vector<std::int64_t>& onsets, std::int64_t length,
                     const std::vector<tavro::onsets::ExpectedBeat>& beats, std::int64_t tolerance)
{
    using namespace tavro::onsets;
    constexpr std::size_t kCandidates = 6;  // of the first onsets and beats, each pairing
    ComparisonRule rule;
    rule.recordingFrames = length;
    rule.toleranceFrames = tolerance;
    rule.windowFrames = std::max<std::int64_t>(rule.windowFrames, tolerance);
    BeatsHeard heard;
    for (std::size_t o = 0; o < std::min(kCandidates, onsets.size()); ++o) {
        for (std::size_t b = 0; b < std::min(kCandidates, beats.size()); ++b) {
            ComparisonRule candidate = rule;
            candidate.alignOnset = o;
            candidate.firstBeat = b;
            const Comparison comparison = compareWithGrid(onsets, beats, candidate);
            if (comparison.matched > heard.comparison.matched) {
                heard.comparison = comparison;
                rule = candidate;
            }
        }
    }
    if (heard.comparison.matched == 0)
        return heard;
    const std::int64_t offset =
        onsets[rule.alignOnset] - msToFrames(beats[rule.firstBeat].ms, rule.sampleRate);
    for (const ExpectedBeat& beat : beats) {
        const std::int64_t at = offset + msToFrames(beat.ms, rule.sampleRate);
        const auto near = std::lower_bound(onsets.begin(), onsets.end(), at - tolerance);
        if (near != onsets.end() && *near <= at + tolerance)
            heard.onsetOf[beat.tick] = *near;
    }
    return heard;
}

// What went wrong with the clicks, for the message of a failed check.
std::string findingsOf(const tavro::onsets::Comparison& comparison)
{
    std::string text = "first findings (beat, frame, deviation, missing):";
    for (const tavro::onsets::Finding& finding : comparison.findings)
        text += " (" + std::to_string(finding.tick) + ", " + std::to_string(finding.frame) + ", "
                + std::to_string(finding.deviation) + ", " + std::to_string(finding.missing) + ")";
    return text;
}

// Checks and reports how long after the click of its beat each label changed, in ms;
// `afterMs` holds one entry a beat. Most change within 20 ms, a few later when the busy
// machine holds the window up.
void expectLabelsWithTheirClicks(const std::vector<double>& afterMs, const char* against)
{
    ASSERT_FALSE(afterMs.empty());
    std::vector<double> size;
    for (std::size_t i = 0; i < afterMs.size(); ++i) {
        EXPECT_LT(std::abs(afterMs[i]), kLabelFarOffMs) << "label " << i << " against " << against;
        size.push_back(std::abs(afterMs[i]));
    }
    std::sort(size.begin(), size.end());
    const double half = size[size.size() / 2], most = size[size.size() * 9 / 10];
    EXPECT_LE(half, kOnTimeMs) << "labels against " << against;
    ::testing::Test::RecordProperty("label_median_us", static_cast<int>(half * 1000));
    std::printf("labels against %s: half within %.1f ms, 90%% within %.1f ms, worst %.1f ms\n",
                against, half, most, size.back());
}

class WindowOutputsTest : public ::testing::Test {
protected:
    using Kind = PrivateSoundServer::Kind;

    explicit WindowOutputsTest(Kind kind = Kind::PulseAudio)
        : server_(kind),
          kind_(kind)
    {
    }

    void SetUp() override
    {
        if (!PrivateSoundServer::installed(kind_))
            GTEST_SKIP() << "the sound server's programs are not installed "
                            "(scripts/install-deps.sh)";
        ASSERT_TRUE(server_.start());
    }

    using Settings = std::vector<std::pair<const char*, const char*>>;

    // A run of one bar a pass from `start` beats per minute up to 350 in steps of
    // `step`: its speed steps tell the beats apart.
    static Settings rising(const char* start, const char* step)
    {
        return {{"length", "1"},     {"intro", "0"},   {"repeat", "1"}, {"startspeed", start},
                {"maxspeed", "350"}, {"linear", step}, {"skip", "40"}};
    }

    // Opens the window, types `settings` into its boxes and presses START; the beat label
    // is watched, also on the window's beat clock, and each beat's deadline noted as it
    // is counted.
    void startRun(const Settings& settings)
    {
        form_ = std::make_unique<tavro::ui::Form1>(
            tavro::ui::Form1Services{.beep = [this] { ++bells_; }});
        form_->show();
        for (const auto& [box, text] : settings)
            form_->findChild<QLineEdit*>(box)->setText(text);
        watcher_ = std::make_unique<BeatWatcher>(form_->findChild<QLabel*>("beatlabel"),
                                                 [this] { return form_->timer1().now(); });
        QTest::mouseClick(form_->findChild<QPushButton*>("Command2"), Qt::LeftButton);
        QObject::connect(&form_->timer1(), &tavro::playback::BeatTimer::expired, form_.get(),
                         [this] { deadlines_.push_back(form_->timer1().beatTime()); });
    }

    // Presses STOP; the stream played throughout.
    void stopRun()
    {
        stoppedAt_ = form_->timer1().now();
        QTest::mouseClick(form_->findChild<QPushButton*>("Command3"), Qt::LeftButton);
        EXPECT_EQ(bells_, 0) << "the bell rang";
        EXPECT_TRUE(form_->findChildren<QMessageBox*>("notice").empty());
    }

    // The beats the label showed, each counted once.
    ShownRun shownBeats()
    {
        ShownRun run = numberBeats(watcher_->shown());
        EXPECT_EQ(run.repeated, 0) << "a beat shown twice";
        EXPECT_LE(run.missed, kMissedPollsAllowed) << "beat labels not seen";
        return run;
    }

    // The beats counted before STOP as the grid their clicks keep: beat k (from 1) at its
    // deadline, in ms after the first beat's.
    std::vector<tavro::onsets::ExpectedBeat> countedBeats() const
    {
        std::vector<tavro::onsets::ExpectedBeat> beats;
        for (std::size_t i = 0; i < deadlines_.size() && deadlines_[i] < stoppedAt_; ++i)
            beats.push_back(
                {static_cast<std::int64_t>(i + 1),
                 std::chrono::round<std::chrono::milliseconds>(deadlines_[i] - deadlines_[0])
                     .count()});
        return beats;
    }

    // How long after its click each shown beat's label changed, in ms: against the click
    // heard, and against its deadline on the window's beat clock, which follows the
    // heard sound.
    static std::vector<double> labelsAfterClicks(const std::vector<ShownBeat>& beats,
                                                 const BeatsHeard& heard, Clock::time_point epoch)
    {
        std::vector<double> after;
        for (const ShownBeat& beat : beats) {
            if (const auto click = heard.onsetOf.find(beat.k); click != heard.onsetOf.end())
                after.push_back(Ms(beat.shown.at - epoch).count()
                                - static_cast<double>(click->second) / kFramesPerMillisecond);
        }
        return after;
    }

    std::vector<double> labelsAfterDeadlines(const std::vector<ShownBeat>& beats) const
    {
        std::vector<double> after;
        for (const ShownBeat& beat : beats)
            if (beat.k <= static_cast<int>(deadlines_.size()))
                after.push_back(Ms(beat.shown.onTimeline - deadlines_[beat.k - 1]).count());
        return after;
    }

    // Makes `sink` the default output. The recorder stays on the null sink's monitor,
    // where it would otherwise follow the default output.
    bool setDefaultOutput(const QString& sink)
    {
        return server_.pactl({"set-default-source", "metro_null.monitor"})
               && server_.pactl({"set-default-sink", sink});
    }

    // Moves our stream to `sink`, as a user does in a volume mixer.
    bool moveStream(const QString& sink)
    {
        const std::vector<PrivateSoundServer::Stream> streams = server_.streamsOfThisProcess();
        return streams.size() == 1 && server_.pactl({"move-sink-input", streams[0].index, sink});
    }

    // The sink our stream plays on; empty while there is not exactly one stream.
    QString sinkOfOurStream()
    {
        const std::vector<PrivateSoundServer::Stream> streams = server_.streamsOfThisProcess();
        return streams.size() == 1 ? streams[0].sink : QString();
    }

    // The state of a sink as pactl lists it: RUNNING, IDLE or SUSPENDED.
    QString sinkState(const QString& name)
    {
        const QByteArray sinks = server_.pactl({"list", "short", "sinks"}).value_or("");
        for (const QByteArray& line : sinks.split('\n')) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() > 4 && fields[1] == name.toUtf8())
                return QString::fromUtf8(fields[4]);
        }
        return {};
    }

    // The clicks of a run of six seconds or so on the grid of its counted beats, within
    // 5 ms (a beat the busy machine counted too late starts a little late), a few of the
    // first lost or late while the stream starts.
    BeatsHeard expectClicksOnTheGrid(const HeardClicks& clicks) const
    {
        const BeatsHeard heard =
            layOnGrid(clicks.onsets, clicks.length, countedBeats(), 5 * kFramesPerMillisecond);
        EXPECT_GT(heard.comparison.matched, 25u);
        EXPECT_LE(heard.comparison.missing, 3u) << findingsOf(heard.comparison);
        EXPECT_LE(heard.comparison.extra, 1u) << findingsOf(heard.comparison);
        std::printf("clicks: %zu on the grid, worst %lld frames off\n", heard.comparison.matched,
                    static_cast<long long>(heard.comparison.maxDeviation));
        return heard;
    }

    // The first two beats of a run at `intervalMs`: the first heard whole (sample for
    // sample the renderer's click) when its label changed, the second an interval later.
    void expectFirstClicksWhole(const PacedPipeReader::Heard& heard, int intervalMs)
    {
        const std::vector<std::int64_t> onsets = clickOnsets(heard.samples);
        ASSERT_GE(onsets.size(), 2u) << "clicks heard";
        EXPECT_EQ(onsets[1] - onsets[0], intervalMs * kFramesPerMillisecond);
        const ShownRun run = shownBeats();
        ASSERT_FALSE(run.beats.empty());
        EXPECT_EQ(run.beats[0].k, 1);
        EXPECT_LT(std::abs(Ms(run.beats[0].shown.at - heard.at(onsets[0])).count()),
                  kLabelFarOffMs);

        constexpr int kBeeps = 8;
        std::vector<std::int16_t> click(960);  // silence before, as the finder wants
        for (std::int64_t i = 0; i < kBeeps * tavro::audio::kBeepFrames; ++i)
            click.push_back(tavro::audio::clickSample(i, kBeeps));
        const std::int64_t start = onsets[0] - clickOnsets(click).at(0);
        ASSERT_GE(start, 0);
        ASSERT_LE(start + static_cast<std::int64_t>(click.size()),
                  static_cast<std::int64_t>(heard.samples.size()));
        double clickEnergy = 0, heardEnergy = 0;
        int worstDifference = 0, loudest = 0;
        for (std::size_t i = 0; i < click.size(); ++i) {
            const int sample = heard.samples[static_cast<std::size_t>(start) + i];
            clickEnergy += double(click[i]) * click[i];
            heardEnergy += double(sample) * sample;
            worstDifference = std::max(worstDifference, std::abs(sample - click[i]));
            loudest = std::max(loudest, std::abs(sample));
        }
        EXPECT_NEAR(heardEnergy / clickEnergy, 1.0, 0.01);
        EXPECT_LT(loudest, 32767) << "clipped";
        std::printf("first click: energy %.4f of the renderer's, samples within %d, loudest %d\n",
                    heardEnergy / clickEnergy, worstDifference, loudest);
    }

    PrivateSoundServer server_;
    Kind kind_;
    int bells_ = 0;
    std::unique_ptr<tavro::ui::Form1> form_;
    std::unique_ptr<BeatWatcher> watcher_;
    std::vector<tavro::playback::BeatClock::time_point> deadlines_;
    tavro::playback::BeatClock::time_point stoppedAt_{};
};

// The stream moves as the sound settings move it: to a new default output, then back by
// the user's choice. Both outputs end in the recorded sink (the second is a remapping
// sink on top of it), so one recording holds the clicks of both.
TEST_F(WindowOutputsTest, ClicksAndLabelsFollowTheStreamToAnotherOutput)
{
    ASSERT_TRUE(server_.pactl(
        {"load-module", "module-remap-sink", "sink_name=other", "master=metro_null"}));
    constexpr double kIntervalMs = 240;                    // 250 beats per minute
    startRun({{"startspeed", "250"}, {"repeat", "100"}});  // no speed step in the test
    runEventsFor(2500);
    ASSERT_EQ(sinkOfOurStream(), "metro_null");
    const double firstMoveMs = watcher_->nowMs();
    ASSERT_TRUE(setDefaultOutput("other"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sinkOfOurStream() == "other"; }, 2000))
        << "the stream follows the default output";
    runEventsFor(2500);
    const double secondMoveMs = watcher_->nowMs();
    ASSERT_TRUE(moveStream("metro_null"));
    runEventsFor(2500);
    EXPECT_EQ(sinkOfOurStream(), "metro_null");
    stopRun();

    // Every click on the run's grid, across both moves, at most one lost at each. A move
    // may shift the rest of the stream by a sample or two, now and then by 2 ms (the
    // server's doing); a grid begun anew would be off by anything up to a beat.
    const QByteArray recording = server_.stopRecording();
    const BeatsHeard heard = layOnGrid(clickOnsets(recording), recording.size() / 2, countedBeats(),
                                       5 * kFramesPerMillisecond);
    EXPECT_GT(heard.comparison.matched, 25u);
    std::printf("clicks: %zu on the grid, worst %lld frames off\n", heard.comparison.matched,
                static_cast<long long>(heard.comparison.maxDeviation));
    EXPECT_LE(heard.comparison.missing, 2u) << findingsOf(heard.comparison);
    // A click cut short at a move may leave its tail as a sound of its own.
    EXPECT_LE(heard.comparison.extra, 2u) << findingsOf(heard.comparison);

    // The labels keep changing when the beats are heard, on the same grid.
    expectStretchesOnOneGrid(shownBeats().beats, kIntervalMs, {firstMoveMs, secondMoveMs},
                             "moved at " + std::to_string(firstMoveMs) + " and "
                                 + std::to_string(secondMoveMs) + " ms");
}

// Plugging a wireless headset in: the stream moves to an output that holds far more of
// it, and back. Both outputs are played by the test, so it knows when each click was
// heard on either: the run keeps its grid in time across both moves, and the labels
// keep changing when the beats are heard.
TEST_F(WindowOutputsTest, ClicksKeepTheirTimeWhenTheStreamMovesToASlowerOutput)
{
    const std::unique_ptr<PacedPipeReader> speaker = server_.addPipeSink("speaker", 16384);
    const std::unique_ptr<PacedPipeReader> headset = server_.addPipeSink("headset", 65536);
    ASSERT_TRUE(speaker && headset);
    ASSERT_TRUE(setDefaultOutput("speaker"));
    startRun(rising("120", "30"));
    runEventsFor(2500);
    ASSERT_TRUE(setDefaultOutput("headset"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sinkOfOurStream() == "headset"; }, 2000));
    runEventsFor(3000);
    ASSERT_TRUE(moveStream("speaker"));
    runEventsFor(2500);
    const std::optional<QByteArray> sinks = server_.pactl({"list", "short", "sinks"});
    stopRun();
    runEventsFor(800);  // the headset plays what it holds

    // Each output's latency as the server reports it makes an error of some milliseconds;
    // a grid moved by the change of latency would be hundreds of milliseconds off. What
    // an output held when the stream left it still sounds there, so a click or two may
    // be heard on both.
    const HeardClicks clicks = hear({speaker.get(), headset.get()});
    const BeatsHeard heard =
        layOnGrid(clicks.onsets, clicks.length, countedBeats(), 40 * kFramesPerMillisecond);
    EXPECT_GT(heard.comparison.matched, 15u);
    EXPECT_LE(heard.comparison.missing, 4u) << findingsOf(heard.comparison);
    EXPECT_LE(heard.comparison.extra, 4u) << findingsOf(heard.comparison);
    std::printf("clicks heard: %zu of %zu on the grid, worst %.1f ms off, %zu missing, %zu extra\n",
                heard.comparison.matched, heard.comparison.expected,
                static_cast<double>(heard.comparison.maxDeviation) / kFramesPerMillisecond,
                heard.comparison.missing, heard.comparison.extra);
    expectLabelsWithTheirClicks(labelsAfterClicks(shownBeats().beats, heard, clicks.epoch),
                                "the clicks heard");
    if (sinks)
        std::printf("%s\n", sinks->constData());
}

// A wireless headset holds 150 to 250 ms of sound: here an output with about 230 ms that
// the test plays itself, so it knows when each sample was heard. At the fastest speed,
// 350 beats per minute (171 ms), the stream holds more than a beat, so each beat is
// counted more than a beat ahead.
TEST_F(WindowOutputsTest, OnASlowOutputTheLabelsChangeWhenTheBeatIsHeard)
{
    const std::unique_ptr<PacedPipeReader> headset = server_.addPipeSink("headset", 32768);
    ASSERT_TRUE(headset);
    ASSERT_TRUE(setDefaultOutput("headset"));
    // 250, 289, 328, then 350 from the 13th beat on, about 2.5 s after START.
    startRun(rising("250", "39"));
    runEventsFor(6000);
    ASSERT_EQ(sinkOfOurStream(), "headset");
    const std::optional<QByteArray> latency = server_.pactl({"list", "sink-inputs"});
    stopRun();
    runEventsFor(500);  // the output plays what it holds

    // Every click on the run's grid; the first few may be lost, or the first come late,
    // while the stream starts (more slowly on a busy machine). A click whose beat the busy
    // machine counted too late starts a few milliseconds late; without the lookahead that
    // the slow output needs, every click would come 20 ms late or not at all.
    const HeardClicks clicks = hear({headset.get()});
    const BeatsHeard heard = expectClicksOnTheGrid(clicks);

    // Each label changes when its click is heard, by the recording and by the window's
    // own clock of the heard sound (never before the beat on it).
    const ShownRun run = shownBeats();
    expectLabelsWithTheirClicks(labelsAfterClicks(run.beats, heard, clicks.epoch),
                                "the clicks heard");
    const std::vector<double> afterDeadlines = labelsAfterDeadlines(run.beats);

    expectLabelsWithTheirClicks(afterDeadlines, "the window's clock");
    EXPECT_GE(*std::min_element(afterDeadlines.begin(), afterDeadlines.end()), -2.0);
    if (latency)
        std::printf("%s\n", latency->constData());
}

// A server suspends an output that nothing played to for a while (PulseAudio with
// module-suspend-on-idle, PipeWire after a few seconds) and wakes it for the next stream:
// the first click after START, on the woken output, is heard whole and on time.
TEST_F(WindowOutputsTest, TheFirstClickOnASuspendedOutputIsHeardWhole)
{
    // Where the server suspends idle outputs by itself there is no such module to load.
    server_.pactl({"load-module", "module-suspend-on-idle", "timeout=1"});
    const std::unique_ptr<PacedPipeReader> speaker = server_.addPipeSink("speaker", 32768);
    ASSERT_TRUE(speaker);
    ASSERT_TRUE(setDefaultOutput("speaker"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sinkState("speaker") == "SUSPENDED"; }, 15000));
    startRun({});  // the window's own settings: 60 beats per minute, 8 beeps a click
    runEventsFor(2600);
    stopRun();
    expectFirstClicksWhole(speaker->heard(), 1000);
}

class WindowOutputsOnPipeWireTest : public WindowOutputsTest {
protected:
    WindowOutputsOnPipeWireTest()
        : WindowOutputsTest(Kind::PipeWire)
    {
    }

    // Makes `sink` the default output and records the null sink's monitor from then on
    // (a recording would follow the default output).
    void playOn(const QString& sink)
    {
        server_.stopRecording();
        ASSERT_TRUE(setDefaultOutput(sink));
        ASSERT_TRUE(server_.startRecording());
    }

    HeardClicks stopAndHear()
    {
        const std::optional<PacedPipeReader::Heard> recording = server_.stopRecordingWithTimes();
        EXPECT_TRUE(recording) << "the recorder said when it began";
        return recording ? hear({*recording}) : HeardClicks{};
    }
};

// The native stream on an output that holds 200 ms of it and says so, as a wireless
// headset's driver does: the labels change when each beat is heard there.
TEST_F(WindowOutputsOnPipeWireTest, OnASlowOutputTheLabelsChangeWhenTheBeatIsHeard)
{
    DelayedSink headset("headset", std::chrono::milliseconds(200), "metro_null");
    ASSERT_TRUE(headset.isOpen());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sinkState("headset").isEmpty(); }, 5000));
    playOn("headset");
    startRun(rising("250", "39"));
    runEventsFor(6000);
    ASSERT_EQ(sinkOfOurStream(), "headset");
    stopRun();
    runEventsFor(500);  // the output plays what it holds

    const HeardClicks clicks = stopAndHear();
    const BeatsHeard heard = expectClicksOnTheGrid(clicks);
    expectLabelsWithTheirClicks(labelsAfterClicks(shownBeats().beats, heard, clicks.epoch),
                                "the clicks heard");
}

// PipeWire suspends an output idle for a while (here 1 s) and wakes it for the stream
// that START opens; the recording starts once the stream has woken it.
TEST_F(WindowOutputsOnPipeWireTest, TheFirstClickOnASuspendedOutputIsHeardWhole)
{
    // Mono, as the stream: its samples reach the recorder as they were written.
    ASSERT_TRUE(server_.pactl({"load-module", "module-null-sink", "sink_name=speaker",
                               "rate=48000", "channels=1", "format=s16le",
                               "sink_properties=session.suspend-timeout-seconds=1"}));
    server_.stopRecording();
    ASSERT_TRUE(setDefaultOutput("speaker"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sinkState("speaker") == "SUSPENDED"; }, 15000));
    startRun({{"startspeed", "40"}});  // the first beat 1.5 s after START
    ASSERT_TRUE(QTest::qWaitFor([&] { return sinkState("speaker") == "RUNNING"; }, 1000));
    ASSERT_TRUE(server_.startRecording("speaker"));
    runEventsFor(3500);
    stopRun();
    const std::optional<PacedPipeReader::Heard> heard = server_.stopRecordingWithTimes();
    ASSERT_TRUE(heard);
    expectFirstClicksWhole(*heard, 1500);
}

}  // namespace
