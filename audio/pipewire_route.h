#pragma once

#include "audio/seqlock.h"
#include "audio/sound_route.h"
#include "audio/stream_feed.h"
#include "audio/stream_watch.h"

#include <spa/utils/hook.h>

#include <atomic>
#include <chrono>
#include <cstdint>

struct pw_context;
struct pw_time;
struct spa_dict;
struct pw_core;
struct pw_registry;
struct pw_stream;
struct pw_thread_loop;
struct spa_source;

namespace tavro::audio {

// What the data thread tells of the latest cycle that played the stream.
struct PipeWireCycle {
    std::uint64_t count = 0;      // cycles played so far
    std::int64_t heard = 0;       // stream frames heard at `nowNs`
    std::int64_t nowNs = 0;       // the cycle's start, on the monotonic clock
    std::uint64_t reanchors = 0;  // times the stream was placed on a new driver's clock
};

// The route through PipeWire's own protocol: one mono 16-bit 48 kHz pw_stream, whose
// every frame is placed on the graph's clock. A stream frame follows the graph's position
// in the cycle that plays it (the ticks that passed, each at the rate of the cycle it
// passed in), not the count of frames written: a cycle that passes the stream by (an
// xrun: the program stopped, its thread late) loses the sound of that moment, and no
// later click moves. On a new driver (a move to an output with a clock of its own) or a
// new rate the ticks say nothing of the old clock, and the stream goes on from the time
// of the cycle.
//
// A PipeWire server counts as the session's sound only with a sink to play to: a desktop
// that runs PulseAudio may run PipeWire beside it for screen sharing alone. Without one
// (or without a server, or when its stream never plays) the route is absent and the
// output tries the next.
//
// The connection and its events live on a thread loop of their own; the samples are
// rendered on PipeWire's real-time data thread, in the graph's cycle that plays them,
// without locks, allocation or calls to Qt.
class PipeWireRoute final : public SoundRoute {
public:
    // What the stream asks of the graph's cycle: the longest PipeWire runs by default
    // (clock.max-quantum). The clicks are placed ahead, so a shorter cycle would only make
    // every program on the machine wake more often; a program that needs a shorter one
    // gets it, and the stream follows. Never locked.
    static constexpr int kLatencyFrames = 2048;

    PipeWireRoute(StreamFeed& feed, RouteListener& listener);
    ~PipeWireRoute() override;

    void begin(std::uint64_t attempt, const EarlierRoutes& earlier) override;
    void end() override;

private:
    // On the loop's thread, or under the loop's lock.
    void connect();
    void synced();
    void linked(const spa_dict* props);
    void startStream();
    void watch();
    void absent(Absence why);
    void fail(const char* reason);
    void endConnection();
    void arm(std::chrono::nanoseconds delay);

    // On the data thread.
    void process();
    std::int64_t place(const pw_time& time);

    StreamFeed& feed_;
    RouteListener& listener_;

    pw_thread_loop* loop_ = nullptr;
    pw_context* context_ = nullptr;
    spa_source* watchTimer_ = nullptr;

    // The loop's: touched on its thread, or elsewhere only under its lock.
    pw_core* core_ = nullptr;
    pw_registry* registry_ = nullptr;
    pw_stream* stream_ = nullptr;
    spa_hook coreListener_{};
    spa_hook registryListener_{};
    spa_hook streamListener_{};
    std::uint64_t attempt_ = 0;  // the begin() that news belongs to (0: none)
    int syncSeq_ = 0;
    bool synced_ = false;        // the server has told of every object it has
    int sinks_ = 0;              // sinks it told of
    bool failed_ = false;        // the connection or the stream has failed
    bool notOpened_ = false;     // the stream could not be made or connected
    StreamWatch watch_;
    std::uint64_t streamId_ = 0;
    std::uint32_t linkedTo_ = SPA_ID_INVALID;  // the node the stream's links lead to
    bool moved_ = false;          // linked to another node since the last watch
    std::uint64_t seenCycles_ = 0;
    std::uint64_t seenReanchors_ = 0;

    // The data thread's: set before the stream connects, then its own.
    bool placed_ = false;         // a cycle has been placed on the graph's clock
    bool clockLost_ = false;      // since then, a cycle came without a clock
    std::int64_t clockFrame_ = 0; // the previous cycle's first frame, by the clock
    std::int64_t carry_ = 0;      // what the ticks held beyond whole frames
    std::int64_t next_ = 0;       // the frame after the last one written
    std::uint64_t lastTicks_ = 0;
    std::int64_t lastNowNs_ = 0;  // the previous cycle's start, its rate and first frame
    std::uint32_t lastRateNum_ = 0;
    std::uint32_t lastRateDenom_ = 0;
    std::int64_t lastFirst_ = 0;
    std::uint64_t cycles_ = 0;
    std::uint64_t reanchors_ = 0;
    Seqlock<PipeWireCycle> cycle_;       // written by the data thread only
};

}  // namespace tavro::audio
