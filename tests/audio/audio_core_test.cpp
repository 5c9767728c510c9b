#include "audio/click_renderer.h"
#include "audio/click_schedule.h"
#include "audio/click_sound.h"
#include "audio/heard_clock.h"
#include "audio/route_mailbox.h"
#include "audio/seqlock.h"
#include "audio/triple_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace tavro::audio {
namespace {

using Samples = std::vector<std::int16_t>;

// What the stream must hold: each click's samples from its frame on, silence elsewhere.
// Clicks in order; each runs until its end or until the next one starts.
Samples expectedStream(const std::vector<Click>& clicks, std::int64_t frames)
{
    Samples out(frames, 0);
    std::int64_t nextStart = frames;
    for (auto c = clicks.rbegin(); c != clicks.rend(); ++c) {
        if (c->beeps <= 0)
            continue;
        const std::int64_t length = std::int64_t{c->beeps} * kBeepFrames;
        const std::int64_t end = std::min(nextStart, c->frame + length);
        for (std::int64_t f = c->frame; f < end; ++f)
            out[f] = clickSample(f - c->frame, c->beeps);
        nextStart = c->frame;
    }
    return out;
}

// Frame of the first difference, or -1.
std::int64_t firstDifference(const Samples& got, const Samples& want)
{
    const auto [g, w] = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    return g == got.end() && w == want.end() ? -1 : g - got.begin();
}

// A run as the beat clock makes it: beats every whole number of milliseconds, the
// interval changing at speed steps (the new interval counts from the beat that set
// it), volumes changed now and then, some beats silent.
std::vector<Click> realisticRun(std::mt19937& rng, std::int64_t anchor, std::int64_t frames)
{
    std::vector<Click> clicks;
    const int volumes[] = {15, 8, 2, 0};
    std::int64_t ms = 0;
    int bpm = 350;  // start with the tightest: 171 ms between 120 ms clicks of High
    int volume = 15;
    while (anchor + ms * kFramesPerMillisecond < frames) {
        clicks.push_back({anchor + ms * kFramesPerMillisecond, volume});
        if (rng() % 6 == 0)
            bpm = std::uniform_int_distribution(60, 350)(rng);
        if (rng() % 5 == 0)
            volume = volumes[rng() % 4];
        ms += std::lround(60000.0 / bpm);
    }
    return clicks;
}

TEST(ClickRenderer, EveryClickLandsOnItsFrameWhateverTheBlockSizes)
{
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    const std::int64_t total = 60 * kSampleRate;
    const std::vector<Click> clicks = realisticRun(rng, 1237, total);

    ClickSchedule schedule;
    ClickRenderer renderer(schedule);
    Samples got(total);
    std::int64_t next = 0;  // first click not yet behind the render position
    for (std::int64_t pos = 0; pos < total;) {
        // Like the user-interface thread: the next two clicks are published ahead, and
        // the one just played is still listed until the list is next rewritten.
        while (next < std::ssize(clicks) && clicks[next].frame < pos)
            ++next;
        const std::int64_t from = std::max<std::int64_t>(next - 1, 0);
        const auto count = std::min<std::int64_t>(3, std::ssize(clicks) - from);
        schedule.publish(clicks.data() + from, static_cast<int>(count));

        const int frames = static_cast<int>(
            std::min<std::int64_t>(std::uniform_int_distribution(1, 4800)(rng), total - pos));
        renderer.render(got.data() + pos, pos, frames);
        pos += frames;
    }

    EXPECT_EQ(firstDifference(got, expectedStream(clicks, total)), -1);
    const auto audible =
        std::count_if(clicks.begin(), clicks.end(), [](const Click& c) { return c.beeps > 0; });
    EXPECT_EQ(renderer.clicksStarted(), static_cast<std::uint64_t>(audible));
    EXPECT_EQ(renderer.clicksLate(), 0u);
    EXPECT_EQ(renderer.clicksDropped(), 0u);
}

TEST(ClickRenderer, LateClicksStartAtOnceWithinTheToleranceAndAreDroppedBeyondIt)
{
    ClickSchedule schedule;
    ClickRenderer renderer(schedule);
    const int block = 4800;
    const std::int64_t tolerance = ClickRenderer::kLateToleranceFrames;
    Samples got(4 * block);
    auto renderBlock = [&](int n) { renderer.render(got.data() + n * block, n * block, block); };
    renderBlock(0);

    const Click tooLate{block - tolerance - 1, 8};
    schedule.publish(&tooLate, 1);
    renderBlock(1);

    const Click nextList[] = {
        // Out of order on purpose: the renderer must not rely on the order.
        {2 * block - tolerance, 2},       // late, but still in time to catch up
        tooLate,                          // still listed: dropped once only
        {2 * block - tolerance - 1, 15},  // too late
        {2 * block - tolerance + 1, 0},   // no click there
    };
    schedule.publish(nextList, 4);
    renderBlock(2);
    renderBlock(3);  // nothing new to count

    EXPECT_EQ(firstDifference(got, expectedStream({{2 * block, 2}}, 4 * block)), -1);
    EXPECT_EQ(renderer.clicksStarted(), 1u);
    EXPECT_EQ(renderer.clicksLate(), 1u);
    EXPECT_EQ(renderer.clicksDropped(), 2u);
}

TEST(ClickRenderer, AStartedClickPlaysToItsEndUnlessTheNextOneCutsItOff)
{
    ClickSchedule schedule;
    ClickRenderer renderer(schedule);
    const int total = 8000;
    const int block = 250;
    Samples got(total);

    const Click first{100, 8};
    schedule.publish(&first, 1);
    renderer.render(got.data(), 0, block);
    schedule.publish(nullptr, 0);  // dropped from the schedule while it plays
    for (int pos = block; pos < 4000; pos += block)
        renderer.render(got.data() + pos, pos, block);

    const Click overlapping[] = {{5000, 15}, {6000, 2}};
    schedule.publish(overlapping, 2);
    for (int pos = 4000; pos < total; pos += block)
        renderer.render(got.data() + pos, pos, block);

    const Samples want = expectedStream({first, overlapping[0], overlapping[1]}, total);
    EXPECT_EQ(firstDifference(got, want), -1);
    EXPECT_EQ(renderer.clicksStarted(), 3u);
}

// A server that passes the stream by for a while skips frames: what sounded there is
// lost, and every click, one due in the skipped frames too, keeps its own frames. Going
// back moves none either.
TEST(ClickRenderer, FramesSkippedOrWrittenAgainMoveNoClick)
{
    ClickSchedule schedule;
    ClickRenderer renderer(schedule);
    const std::int64_t total = 20000;
    const std::vector<Click> clicks{{3500, 8}, {5500, 2}, {9900, 15}};
    schedule.publish(clicks.data(), static_cast<int>(clicks.size()));
    const std::pair<std::int64_t, std::int64_t> blocks[] = {{0, 4000}, {6000, 10000}, {10500, total}};
    Samples got(total, 0);
    Samples want = expectedStream(clicks, total);
    std::int64_t heardTo = 0;
    for (const auto& [from, to] : blocks) {
        std::fill(want.begin() + heardTo, want.begin() + from, 0);  // never heard
        renderer.render(got.data() + from, from, static_cast<int>(to - from));
        heardTo = to;
    }
    EXPECT_EQ(firstDifference(got, want), -1);
    EXPECT_EQ(renderer.clicksStarted(), 3u);
    EXPECT_EQ(renderer.clicksLate() + renderer.clicksDropped(), 0u);

    // The stream goes back: a click published for a frame written once is still to come
    // in the frames written again, and sounds there at its own frame, not early.
    const Click again{total - 300, 2};
    schedule.publish(&again, 1);
    Samples rewound(1000, 0);
    renderer.render(rewound.data(), total - 500, 1000);
    const Samples tail = expectedStream({{again.frame - (total - 500), 2}}, 1000);
    EXPECT_EQ(firstDifference(rewound, tail), -1);
    EXPECT_EQ(renderer.clicksLate(), 0u);
}

// A stream that goes back writes frames again: they sound as they did, every click whole
// at the frames it had (a late one too), and no click is counted again.
TEST(ClickRenderer, FramesWrittenAgainSoundAsTheFirstTime)
{
    ClickSchedule schedule;
    ClickRenderer renderer(schedule);
    const std::int64_t total = 7200;
    Samples heard(total, 0);
    std::int64_t heardTo = 0;  // frames before it have been written
    auto render = [&](std::int64_t from, int frames) {
        Samples got(frames);
        renderer.render(got.data(), from, frames);
        const auto again = std::clamp<std::int64_t>(heardTo - from, 0, frames);
        EXPECT_EQ(firstDifference(Samples(got.begin(), got.begin() + again),
                                  Samples(heard.begin() + from, heard.begin() + from + again)),
                  -1)
            << "block at " << from;
        std::copy(got.begin(), got.end(), heard.begin() + from);
        heardTo = std::max(heardTo, from + frames);
    };

    const Click clicks[] = {{300, 2}, {1500, 15}, {2600, 2}};  // the third cuts the second off
    schedule.publish(clicks, 3);
    render(0, 1024);
    render(1024, 1024);
    render(2048, 1024);
    render(2500, 1000);  // back while the click at 2600 plays on past the block
    render(3500, 596);
    const Click late{4096 - 100, 8};  // starts at 4096
    schedule.publish(&late, 1);
    render(4096, 1024);
    render(5120, 1024);
    render(1024, 1024);  // back to clicks long over and no longer scheduled
    render(3900, 1000);  // back over the late click's start
    render(4900, 2300);

    EXPECT_EQ(firstDifference(heard, expectedStream({clicks[0], clicks[1], clicks[2], {4096, 8}},
                                                    total)),
              -1);
    EXPECT_EQ(renderer.clicksStarted(), 4u);
    EXPECT_EQ(renderer.clicksLate(), 1u);
    EXPECT_EQ(renderer.clicksDropped(), 0u);
}

// A new stream counts from frame 0 again: neither the click playing nor the frames dealt
// with in the old one may silence the first clicks of the new one.
TEST(ClickRenderer, AfterARestartTheFramesCountFromZeroAgain)
{
    ClickSchedule schedule;
    ClickRenderer renderer(schedule);
    Samples old(4000);
    const Click late{3000, 15};  // still playing when the old stream ends
    schedule.publish(&late, 1);
    renderer.render(old.data(), 0, 4000);

    renderer.restart();
    const Click early{1000, 2};
    schedule.publish(&early, 1);
    Samples got(4000);
    renderer.render(got.data(), 0, 4000);
    EXPECT_EQ(firstDifference(got, expectedStream({early}, 4000)), -1);
    EXPECT_EQ(renderer.clicksStarted(), 2u);
}

TEST(ClickSound, BeepsJoinWithoutAPopAndTheLoudestClickFitsTheShortestInterval)
{
    EXPECT_EQ(beepSample(0), 0);
    EXPECT_EQ(beepSample(kBeepFrames - 1), 0);

    int peak = 0;
    for (int f = 0; f < kBeepFrames; ++f)
        peak = std::max(peak, std::abs(int{beepSample(f)}));
    EXPECT_GT(peak, 0.55 * 32767);
    EXPECT_LT(peak, 0.65 * 32767);

    // Around each joint of a click the signal stays near zero.
    for (int joint = kBeepFrames; joint < 15 * kBeepFrames; joint += kBeepFrames)
        for (int f = joint - 2; f < joint + 2; ++f)
            EXPECT_LT(std::abs(int{clickSample(f, 15)}), 0.01 * 32767) << "frame " << f;

    EXPECT_LT(15 * kBeepFrames, 171 * kFramesPerMillisecond);
    EXPECT_EQ(clickSample(14 * kBeepFrames + 100, 15), beepSample(100));
    EXPECT_EQ(clickSample(15 * kBeepFrames + 100, 15), 0);
    EXPECT_EQ(clickSample(100, 0), 0);
}

TEST(ClickSchedule, KeepsTheFirstClicksThatFit)
{
    ClickSchedule schedule;
    const Click six[] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}};
    schedule.publish(six, 6);
    ClickSchedule::List got;
    ASSERT_EQ(schedule.snapshot(got), ClickSchedule::kCapacity);
    EXPECT_EQ(got.back().frame, ClickSchedule::kCapacity);
    schedule.publish(six, 0);
    EXPECT_EQ(schedule.snapshot(got), 0);
}

// Reports of a stream heard at 48 kHz: 480 frames every 10 ms.
TEST(HeardClock, PlaysOnBetweenReportsAndDoubtsAReportThatBreaksTheLineUntilTheNext)
{
    using namespace std::chrono_literals;
    const HeardClock::time_point t0{1000s};
    // Heard by t0 + ms, less `behind`.
    const auto at = [&](std::chrono::milliseconds ms, std::chrono::milliseconds behind = 0ms) {
        return HeardClock::Report{(ms - behind).count() * kFramesPerMillisecond, t0 + ms};
    };
    HeardClock clock;
    EXPECT_FALSE(clock.valid());
    clock.report(at(100ms));
    ASSERT_TRUE(clock.valid());
    EXPECT_EQ(clock.framesAt(t0 + 110ms), 110 * kFramesPerMillisecond);

    // A report some milliseconds off the line is taken at once.
    clock.report(at(600ms, 20ms));
    EXPECT_EQ(clock.framesAt(t0 + 700ms), 680 * kFramesPerMillisecond);

    // Moved to a slower output: the server reports its latency, 540 ms, before the
    // frames it took to fill it. The next report is back on the line.
    clock.report(at(800ms, 560ms));
    EXPECT_EQ(clock.framesAt(t0 + 800ms), 780 * kFramesPerMillisecond);
    clock.report(at(900ms));
    EXPECT_EQ(clock.framesAt(t0 + 900ms), 900 * kFramesPerMillisecond);

    // Held back for 200 ms, as the next report confirms: taken from then on.
    clock.report(at(1000ms, 200ms));
    EXPECT_EQ(clock.framesAt(t0 + 1000ms), 1000 * kFramesPerMillisecond);
    clock.report(at(1100ms, 200ms));
    EXPECT_EQ(clock.framesAt(t0 + 1100ms), 900 * kFramesPerMillisecond);

    clock.reset();
    EXPECT_FALSE(clock.valid());
}

// The payloads handed over are several words long: a reader racing the writer must
// still only ever see whole values, each newer than the last.
TEST(Seqlock, AReaderNeverSeesATornValue)
{
    using Words = std::array<std::int64_t, 9>;
    Seqlock<Words> handover;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        Words words;
        for (std::int64_t v = 1; !done.load(std::memory_order_relaxed); ++v) {
            words.fill(v);
            handover.store(words);
        }
    });

    while (handover.load()[0] == 0)
        std::this_thread::yield();  // the writer is starting
    // A million looks, more if the writer hardly moved meanwhile (a busy machine may
    // have kept it off the processor).
    int torn = 0;
    int changes = 0;
    std::int64_t previous = 0;
    for (int i = 0; i < 3'000'000 && (i < 1'000'000 || changes < 1'000); ++i) {
        const Words got = handover.load();
        const std::int64_t v = got[0];
        const bool whole =
            v >= previous && std::all_of(got.begin(), got.end(), [v](auto w) { return w == v; });
        torn += whole ? 0 : 1;
        changes += v != previous ? 1 : 0;
        previous = v;
    }
    done = true;
    writer.join();
    EXPECT_EQ(torn, 0);
}

// Neither side waits for the other, so the writer goes on while the reader copies: the
// reader must still see only whole values, none older than the one before, and once the
// writer has stopped, its last.
TEST(TripleBuffer, TheReaderSeesWholeValuesEachNoOlderAndAtLastTheLatest)
{
    using namespace std::chrono_literals;
    using Words = std::array<std::int64_t, 16>;
    TripleBuffer<Words> handover;
    std::atomic<bool> done{false};
    std::int64_t last = 0;
    std::thread writer([&] {
        Words words;
        while (!done.load(std::memory_order_relaxed)) {
            words.fill(++last);
            handover.publish(words);
        }
    });

    int torn = 0;
    int older = 0;
    std::int64_t previous = 0;
    const auto stop = std::chrono::steady_clock::now() + 200ms;
    for (int i = 0; i % 1024 != 0 || std::chrono::steady_clock::now() < stop; ++i) {
        const Words got = handover.latest();
        const std::int64_t v = got[0];
        torn += std::all_of(got.begin(), got.end(), [v](auto w) { return w == v; }) ? 0 : 1;
        older += v < previous ? 1 : 0;
        previous = v;
    }
    done = true;
    writer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(older, 0);
    EXPECT_EQ(handover.latest()[0], last);
    EXPECT_EQ(handover.latest()[0], last);  // and keeps it
}

// Two routes' threads post at once while the user-interface thread takes: every news
// arrives once, each thread's in the order it was posted; a full mailbox refuses rather
// than overwrite what is not taken yet.
TEST(RouteMailbox, EveryNewsArrivesOnceInItsSendersOrderAndAFullOneRefuses)
{
    RouteMailbox mailbox;
    constexpr std::uint64_t kEach = 20000;
    auto send = [&](std::uint64_t from) {
        for (std::uint64_t i = 1; i <= kEach;) {
            RouteNews news;
            news.attempt = from * kEach * 2 + i;
            if (mailbox.post(news))
                ++i;
        }
    };
    std::thread a(send, 0), b(send, 1);
    std::array<std::uint64_t, 2> last{0, 0};
    std::uint64_t taken = 0, outOfOrder = 0;
    while (taken < 2 * kEach) {
        RouteNews news;
        if (!mailbox.take(news))
            continue;
        const std::uint64_t from = news.attempt / (kEach * 2), i = news.attempt % (kEach * 2);
        outOfOrder += i == last[from] + 1 ? 0 : 1;
        last[from] = i;
        ++taken;
    }
    a.join();
    b.join();
    EXPECT_EQ(outOfOrder, 0u);
    RouteNews news;
    EXPECT_FALSE(mailbox.take(news));

    for (std::size_t i = 0; i < RouteMailbox::kCapacity; ++i) {
        news.attempt = i;
        ASSERT_TRUE(mailbox.post(news));
    }
    EXPECT_FALSE(mailbox.post(news));
    ASSERT_TRUE(mailbox.take(news));
    EXPECT_EQ(news.attempt, 0u);
}

}  // namespace
}  // namespace tavro::audio
