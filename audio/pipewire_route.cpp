#include "audio/pipewire_route.h"

#include "generated/project_info.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include <unistd.h>

namespace tavro::audio {

namespace {

using Clock = std::chrono::steady_clock;
using namespace route;

// Cycle to cycle, a graph resampled to another rate than the stream's hands the stream a
// frame more or less than its position moved by; a difference this small is not a
// cycle passed by.
constexpr std::int64_t kRoundingFrames = 8;

constexpr std::int64_t kNsPerSecond = 1'000'000'000;

// Nanoseconds to stream frames, to the nearest frame either way.
std::int64_t framesIn(std::int64_t ns)
{
    return (ns * kSampleRate + (ns < 0 ? -kNsPerSecond : kNsPerSecond) / 2) / kNsPerSecond;
}

void initOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

bool isSink(const spa_dict* props)
{
    const char* mediaClass = props ? spa_dict_lookup(props, PW_KEY_MEDIA_CLASS) : nullptr;
    return mediaClass
           && (std::strcmp(mediaClass, "Audio/Sink") == 0
               || std::strcmp(mediaClass, "Audio/Duplex") == 0);
}

// The names a mixer shows, as the desktop entry gives them (the icon is installed under
// the desktop id).
void addNames(pw_properties* props)
{
    const std::string name(project::kAppName), id(project::kAppId);
    pw_properties_set(props, PW_KEY_APP_NAME, name.c_str());
    pw_properties_set(props, PW_KEY_APP_ID, id.c_str());
    pw_properties_set(props, PW_KEY_APP_ICON_NAME, id.c_str());
}

}  // namespace

PipeWireRoute::PipeWireRoute(StreamFeed& feed, RouteListener& listener)
    : feed_(feed),
      listener_(listener)
{
    initOnce();
    loop_ = pw_thread_loop_new("tavro-pipewire", nullptr);
    if (!loop_)
        return;
    // client-rt.conf: the data thread, which renders the samples, runs at real-time
    // priority where the system allows it.
    pw_properties* props = pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr);
    addNames(props);
    context_ = pw_context_new(pw_thread_loop_get_loop(loop_), props, 0);
    auto onTimer = [](void* self, std::uint64_t) { static_cast<PipeWireRoute*>(self)->watch(); };
    watchTimer_ = pw_loop_add_timer(pw_thread_loop_get_loop(loop_), onTimer, this);
    if (!context_ || !watchTimer_ || pw_thread_loop_start(loop_) < 0) {
        if (context_)
            pw_context_destroy(context_);
        pw_thread_loop_destroy(loop_);
        context_ = nullptr;
        loop_ = nullptr;
    }
}

PipeWireRoute::~PipeWireRoute()
{
    if (!loop_)
        return;
    end();
    pw_thread_loop_stop(loop_);
    pw_context_destroy(context_);
    pw_thread_loop_destroy(loop_);
}

void PipeWireRoute::begin(std::uint64_t attempt)
{
    if (!loop_)
        return listener_.routeAbsent(attempt, false);
    pw_thread_loop_lock(loop_);
    endConnection();
    attempt_ = attempt;
    connect();
    pw_thread_loop_unlock(loop_);
}

void PipeWireRoute::end()
{
    if (!loop_)
        return;
    pw_thread_loop_lock(loop_);
    attempt_ = 0;
    endConnection();
    pw_thread_loop_unlock(loop_);
}

// Connects and asks the server for its objects; synced() follows once it has told of
// them all. Connecting to a local socket returns at once: without a server there is no
// socket, and a server that hangs is left at the watch's time limit.
void PipeWireRoute::connect()
{
    failed_ = synced_ = heard_ = false;
    sinks_ = 0;
    seenCycles_ = seenReanchors_ = 0;
    attemptAt_ = Clock::now();
    core_ = pw_context_connect(context_, nullptr, 0);
    if (!core_)
        return absent(false);
    static const pw_core_events coreEvents = [] {
        pw_core_events events{};
        events.version = PW_VERSION_CORE_EVENTS;
        events.done = [](void* self, std::uint32_t id, int seq) {
            auto* me = static_cast<PipeWireRoute*>(self);
            if (id == PW_ID_CORE && seq == me->syncSeq_ && !me->synced_)
                me->synced();
        };
        events.error = [](void* self, std::uint32_t id, int, int, const char*) {
            // The connection is lost (the server went away) or the stream refused.
            auto* me = static_cast<PipeWireRoute*>(self);
            if (id == PW_ID_CORE || (me->stream_ && id == pw_stream_get_node_id(me->stream_)))
                me->failed_ = true;
        };
        return events;
    }();
    pw_core_add_listener(core_, &coreListener_, &coreEvents, this);
    static const pw_registry_events registryEvents = [] {
        pw_registry_events events{};
        events.version = PW_VERSION_REGISTRY_EVENTS;
        events.global = [](void* self, std::uint32_t, std::uint32_t, const char* type,
                           std::uint32_t, const spa_dict* props) {
            auto* me = static_cast<PipeWireRoute*>(self);
            if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0 && isSink(props))
                ++me->sinks_;
            else if (std::strcmp(type, PW_TYPE_INTERFACE_Link) == 0 && props)
                me->linked(props);
        };
        return events;
    }();
    registry_ = pw_core_get_registry(core_, PW_VERSION_REGISTRY, 0);
    if (!registry_)
        return absent(false);
    pw_registry_add_listener(registry_, &registryListener_, &registryEvents, this);
    syncSeq_ = pw_core_sync(core_, PW_ID_CORE, 0);
    arm(kStartWatchInterval);
}

// In the core's own event: the connection may not be ended here, only from watch().
void PipeWireRoute::synced()
{
    synced_ = true;
    if (sinks_ > 0)
        startStream();
    else
        arm(std::chrono::nanoseconds(1));  // a PipeWire that does not play the session's sound
}

// A link from the stream to another node than before: the stream was moved (the user's
// choice, or a new default output). Its clock may stay the same (two outputs that one
// device drives), so this, not the graph's position, tells of a move.
void PipeWireRoute::linked(const spa_dict* props)
{
    if (!stream_)
        return;
    const char* from = spa_dict_lookup(props, PW_KEY_LINK_OUTPUT_NODE);
    const char* to = spa_dict_lookup(props, PW_KEY_LINK_INPUT_NODE);
    const std::uint32_t node = pw_stream_get_node_id(stream_);
    if (!from || !to || node == SPA_ID_INVALID || std::strtoul(from, nullptr, 10) != node)
        return;
    const auto target = static_cast<std::uint32_t>(std::strtoul(to, nullptr, 10));
    if (linkedTo_ != SPA_ID_INVALID && target != linkedTo_)
        moved_ = true;
    linkedTo_ = target;
}

void PipeWireRoute::startStream()
{
    pw_properties* props = pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY,
                                             "Playback", nullptr);
    addNames(props);
    pw_properties_setf(props, PW_KEY_APP_PROCESS_ID, "%d", static_cast<int>(getpid()));
    // No media role: WirePlumber keeps the output and volume a stream was given by its
    // role before its application, so as "Music" the metronome would share them with
    // every music player. Without one they are kept for the program alone, and mixers
    // show it as the application it is.
    pw_properties_setf(props, PW_KEY_NODE_LATENCY, "%d/%d", kLatencyFrames, kSampleRate);
    stream_ = pw_stream_new(core_, "Clicks", props);
    if (!stream_)
        return fail(kNotOpened);
    static const pw_stream_events streamEvents = [] {
        pw_stream_events events{};
        events.version = PW_VERSION_STREAM_EVENTS;
        events.state_changed = [](void* self, pw_stream_state, pw_stream_state state,
                                  const char*) {
            if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
                static_cast<PipeWireRoute*>(self)->failed_ = true;
        };
        events.process = [](void* self) { static_cast<PipeWireRoute*>(self)->process(); };
        return events;
    }();
    streamId_ = feed_.beginStream();
    linkedTo_ = SPA_ID_INVALID;
    moved_ = false;
    placing_ = false;
    offset_ = next_ = 0;
    lastTicks_ = 0;
    lastNowNs_ = lastFirst_ = 0;
    cycles_ = reanchors_ = 0;
    cycle_.store({});
    pw_stream_add_listener(stream_, &streamListener_, &streamEvents, this);

    std::uint8_t buffer[256];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_S16;
    info.rate = kSampleRate;
    info.channels = 1;
    info.position[0] = SPA_AUDIO_CHANNEL_MONO;
    const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    const auto flags = static_cast<pw_stream_flags>(
        PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
    if (pw_stream_connect(stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) < 0)
        return fail(kNotOpened);
    attemptAt_ = Clock::now();
}

// The graph's cycle that plays this buffer: its first frame is placed at the cycle's
// position. Real-time: no locks, allocation or system calls.
void PipeWireRoute::process()
{
    pw_buffer* b = pw_stream_dequeue_buffer(stream_);
    if (!b)
        return;
    spa_data& data = b->buffer->datas[0];
    const auto capacity = static_cast<std::int64_t>(data.maxsize / sizeof(std::int16_t));
    if (!data.data || capacity == 0) {
        pw_stream_queue_buffer(stream_, b);
        return;
    }
    pw_time time{};
    pw_stream_get_time_n(stream_, &time, sizeof time);
    const std::int64_t rate = time.rate.denom > 0 ? time.rate.denom : kSampleRate;
    const std::int64_t frames =
        std::min<std::int64_t>(b->requested > 0 ? static_cast<std::int64_t>(b->requested)
                                                : kLatencyFrames,
                               capacity);
    // The graph's position in stream frames (the graph may run at another rate: the
    // stream is then resampled, and its clicks stay at their times in 48 kHz frames).
    const auto position = static_cast<std::int64_t>(time.ticks) * kSampleRate / rate;
    std::int64_t first = position + offset_;
    if (!placing_) {
        placing_ = true;
        offset_ = -position;
        first = 0;
    } else {
        const std::int64_t gap = first - next_;
        if (time.ticks <= lastTicks_ || gap < -kRoundingFrames) {
            // The position stands still or went back: a new driver (a move to an output
            // with a clock of its own). Its position says nothing of the old one's, so the
            // stream goes on from the time of the cycle: later by as long as no cycle
            // played it (that sound is lost), or back by as much as the new cycle came
            // before the old one's end (those frames sound again; so they do when the
            // cycle is processed twice, at the same time). The clicks keep their time.
            const std::int64_t placed =
                lastFirst_ + std::max<std::int64_t>(framesIn(time.now - lastNowNs_), 0);
            if (placed - next_ > kRoundingFrames)
                feed_.countUnderflow();
            offset_ += placed - first;
            first = placed;
            ++reanchors_;
        } else if (gap <= kRoundingFrames) {
            first = next_;
        } else {
            feed_.countUnderflow();  // cycles passed the stream by: their sound is lost
        }
    }
    lastTicks_ = time.ticks;
    lastNowNs_ = time.now;
    lastFirst_ = first;
    // The next cycle, as long as this one, is written at its start.
    feed_.render(static_cast<std::int16_t*>(data.data), first, static_cast<int>(frames),
                 static_cast<int>(frames));
    next_ = first + frames;
    data.chunk->offset = 0;
    data.chunk->stride = sizeof(std::int16_t);
    data.chunk->size = static_cast<std::uint32_t>(frames * sizeof(std::int16_t));
    pw_stream_queue_buffer(stream_, b);
    // This buffer's first frame is heard `delay` after the cycle's start (and after what
    // a resampler holds).
    const std::int64_t delay = time.delay * kSampleRate / rate + time.buffered;
    cycle_.store({++cycles_, first - delay, time.now, reanchors_});
}

// While a connection exists: ends a failed or silent one, tells of a stream that has
// started or moved, and publishes the played position.
void PipeWireRoute::watch()
{
    if (attempt_ == 0)
        return;
    const Clock::time_point now = Clock::now();
    if (failed_)
        return heard_ ? fail(kServerWentAway) : absent(false);
    if (synced_ && sinks_ == 0)
        return absent(true);
    if (!synced_) {
        if (now - attemptAt_ > kConnectTimeout)
            return absent(false);
        return arm(kStartWatchInterval);
    }
    const PipeWireCycle cycle = cycle_.load();
    if (cycle.count != seenCycles_ && cycle.nowNs > 0) {
        seenCycles_ = cycle.count;
        progressAt_ = now;
        const Clock::time_point at{std::chrono::nanoseconds(cycle.nowNs)};
        if (!heard_) {
            heard_ = true;
            seenReanchors_ = cycle.reanchors;
            const auto heardFor =
                std::chrono::microseconds(cycle.heard * 1000 / kFramesPerMillisecond);
            listener_.routeStarted(attempt_, {true, streamId_, 0, at - heardFor});
        }
        feed_.publishPosition(cycle.heard, at);
        if (cycle.reanchors != seenReanchors_ || moved_) {
            seenReanchors_ = cycle.reanchors;
            moved_ = false;
            listener_.routeMoved(attempt_);
        }
    } else if (now - (heard_ ? progressAt_ : attemptAt_) > kSilenceLimit) {
        // A stream that never played found no sink to link to: another route may do.
        return heard_ ? fail(kStoppedPlaying) : absent(false);
    }
    arm(heard_ ? kWatchInterval : kStartWatchInterval);
}

void PipeWireRoute::absent(bool withoutDevices)
{
    const std::uint64_t attempt = attempt_;
    attempt_ = 0;
    endConnection();
    listener_.routeAbsent(attempt, withoutDevices);
}

void PipeWireRoute::fail(const char* reason)
{
    const std::uint64_t attempt = attempt_;
    attempt_ = 0;
    endConnection();
    listener_.routeFailed(attempt, reason);
}

// Destroying the stream waits for the data thread to leave it.
void PipeWireRoute::endConnection()
{
    pw_loop_update_timer(pw_thread_loop_get_loop(loop_), watchTimer_, nullptr, nullptr, false);
    if (stream_) {
        spa_hook_remove(&streamListener_);
        pw_stream_destroy(stream_);
        stream_ = nullptr;
        feed_.endStream();
    }
    if (registry_) {
        spa_hook_remove(&registryListener_);
        pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry_));
        registry_ = nullptr;
    }
    if (core_) {
        spa_hook_remove(&coreListener_);
        pw_core_disconnect(core_);
        core_ = nullptr;
    }
}

void PipeWireRoute::arm(std::chrono::nanoseconds delay)
{
    timespec value{0, static_cast<long>(delay.count())};
    pw_loop_update_timer(pw_thread_loop_get_loop(loop_), watchTimer_, &value, nullptr, false);
}

}  // namespace tavro::audio
