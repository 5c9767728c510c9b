#include "audio/pipewire_route.h"

#include "audio/frame_time.h"
#include "generated/project_info.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include <unistd.h>

namespace tavro::audio {

namespace {

using Clock = std::chrono::steady_clock;
using namespace route;

// Cycle to cycle, a graph resampled to another rate than the stream's asks the stream
// for a frame more or less than its position moved by; a difference this small is not
// an xrun.
constexpr std::int64_t kRoundingFrames = 8;

std::int64_t framesSince(std::int64_t fromNs, std::int64_t toNs)
{
    return framesIn(std::chrono::nanoseconds(toNs - fromNs));
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
    if (!props)
        return;
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
    // priority where the system allows it (from PipeWire 1.0 on, client.conf does that
    // and the other name is refused with a warning).
    const bool fromOneOn = std::atoi(pw_get_library_version()) >= 1;
    pw_properties* props = fromOneOn
                               ? pw_properties_new(nullptr, nullptr)
                               : pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr);
    addNames(props);
    if (props)
        context_ = pw_context_new(pw_thread_loop_get_loop(loop_), props, 0);
    auto onTimer = [](void* self, std::uint64_t) { static_cast<PipeWireRoute*>(self)->watch(); };
    if (context_)
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

// What earlier routes found changes nothing here: this one is tried first.
void PipeWireRoute::begin(std::uint64_t attempt, const EarlierRoutes&)
{
    if (!loop_)
        return listener_.routeAbsent(attempt, Absence::NoServer);
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
    failed_ = notOpened_ = synced_ = false;
    sinks_ = 0;
    seenCycles_ = seenReanchors_ = 0;
    watch_.begin(Clock::now());
    core_ = pw_context_connect(context_, nullptr, 0);
    if (!core_)
        return absent(Absence::NoServer);
    static const pw_core_events coreEvents = [] {
        pw_core_events events{};
        events.version = PW_VERSION_CORE_EVENTS;
        events.done = [](void* self, std::uint32_t id, int seq) {
            auto* me = static_cast<PipeWireRoute*>(self);
            if (id == PW_ID_CORE && seq == me->syncSeq_ && !me->synced_)
                me->synced();
        };
        // Only the connection's own loss (EPIPE on the core) ends it: an error of another
        // object is that object's (the stream tells of its own through its state).
        events.error = [](void* self, std::uint32_t id, int, int res, const char*) {
            if (id == PW_ID_CORE && res == -EPIPE)
                static_cast<PipeWireRoute*>(self)->failed_ = true;
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
        return absent(Absence::NoServer);
    pw_registry_add_listener(registry_, &registryListener_, &registryEvents, this);
    syncSeq_ = pw_core_sync(core_, PW_ID_CORE, 0);
    if (syncSeq_ < 0)
        return absent(Absence::NoServer);
    arm(watch_.interval());
}

// In the core's own event: the connection is not ended here, only from watch().
void PipeWireRoute::synced()
{
    synced_ = true;
    watch_.connected(Clock::now());
    if (sinks_ > 0)
        startStream();
    arm(std::chrono::nanoseconds(1));  // a PipeWire without sinks, or a stream not opened
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
    if (!props) {
        notOpened_ = true;
        return;
    }
    addNames(props);
    pw_properties_setf(props, PW_KEY_APP_PROCESS_ID, "%d", static_cast<int>(getpid()));
    // No media role: WirePlumber keeps the output and volume a stream was given by its
    // role before its application, so as "Music" the metronome would share them with
    // every music player. Without one they are kept for the program alone.
    pw_properties_setf(props, PW_KEY_NODE_LATENCY, "%d/%d", kLatencyFrames, kSampleRate);
    stream_ = pw_stream_new(core_, "Clicks", props);  // takes props, also when it fails
    if (!stream_) {
        notOpened_ = true;
        return;
    }
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
    placed_ = clockLost_ = false;
    clockFrame_ = carry_ = next_ = 0;
    lastTicks_ = 0;
    lastNowNs_ = lastFirst_ = 0;
    lastRateNum_ = lastRateDenom_ = 0;
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
    if (pw_stream_connect(stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, params, 1) < 0) {
        notOpened_ = true;
        return;
    }
    watch_.begin(Clock::now());
    watch_.connected(Clock::now());
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
    const std::int64_t frames =
        std::min<std::int64_t>(b->requested > 0 ? static_cast<std::int64_t>(b->requested)
                                                : kLatencyFrames,
                               capacity);
    const std::int64_t first = place(time);
    // The next cycle is written whole at its start: beats are counted that far ahead.
    feed_.render(static_cast<std::int16_t*>(data.data), first, static_cast<int>(frames),
                 static_cast<int>(frames));
    next_ = first + frames;
    data.chunk->offset = 0;
    data.chunk->stride = sizeof(std::int16_t);
    data.chunk->size = static_cast<std::uint32_t>(frames * sizeof(std::int16_t));
    pw_stream_queue_buffer(stream_, b);
    if (time.rate.num == 0 || time.rate.denom == 0)
        return;  // no clock: nothing heard can be told
    // Latency: the buffer's first frame is heard `delay` (and the resampler's) later.
    const std::int64_t delay =
        ticksInFrames(time.delay, time.rate.num, time.rate.denom).frames
        + static_cast<std::int64_t>(time.buffered);
    cycle_.store({++cycles_, first - delay, time.now, reanchors_});
}

// The first frame of this cycle's buffer. Ticks count at the rate of the cycle they pass
// in, so a rate switch on the running driver moves nothing already placed.
std::int64_t PipeWireRoute::place(const pw_time& time)
{
    const bool clocked = time.rate.num > 0 && time.rate.denom > 0;
    if (!clocked) {
        // No clock yet, or none for now: the frames follow on, and the next cycle with a
        // clock is placed by its time.
        clockLost_ = placed_;
        return next_;
    }
    std::int64_t first = 0;
    if (!placed_) {
        placed_ = true;
        first = next_;
        clockFrame_ = first;
    } else if (time.ticks == lastTicks_ && time.now == lastNowNs_) {
        // The same cycle processed again: its frames are written again, alike.
        first = lastFirst_;
        clockFrame_ = first;
    } else if (time.ticks <= lastTicks_ || clockLost_ || time.rate.num != lastRateNum_
               || time.rate.denom != lastRateDenom_) {
        // A new driver (its first cycle repeats the last ticks), a clock back, or a new
        // rate: the cycle's time, not its ticks, tells where the stream stands; frames no
        // cycle played are lost, frames played twice are written again.
        first = lastFirst_ + std::max<std::int64_t>(framesSince(lastNowNs_, time.now), 0);
        clockFrame_ = first;
        carry_ = 0;
        clockLost_ = false;
        if (time.ticks <= lastTicks_)
            ++reanchors_;
        if (first - next_ > kRoundingFrames)
            feed_.countUnderflow();
    } else {
        const TicksInFrames step = ticksInFrames(static_cast<std::int64_t>(time.ticks - lastTicks_),
                                                 time.rate.num, time.rate.denom, carry_);
        carry_ = step.carry;
        clockFrame_ += step.frames;
        first = clockFrame_;
        const std::int64_t gap = first - next_;
        if (gap > kRoundingFrames)
            feed_.countUnderflow();  // an xrun: cycles passed the stream by, their sound lost
        else if (gap >= -kRoundingFrames)
            first = next_;  // the resampler's rounding
        // Further back: the graph's position went back on the same clock (a driver that
        // starts its cycles anew); the frames from there are written again.
    }
    lastTicks_ = time.ticks;
    lastNowNs_ = time.now;
    lastRateNum_ = time.rate.num;
    lastRateDenom_ = time.rate.denom;
    lastFirst_ = first;
    return first;
}

// While a connection exists: ends a failed or silent one, tells of a stream that has
// started or moved, and publishes the played position.
void PipeWireRoute::watch()
{
    if (attempt_ == 0)
        return;
    const Clock::time_point now = Clock::now();
    if (failed_)
        return watch_.heard() ? fail(kServerWentAway) : absent(Absence::NoServer);
    if (notOpened_)
        return fail(kNotOpened);
    if (synced_ && sinks_ == 0)
        return absent(Absence::NoDevices);
    const PipeWireCycle cycle = cycle_.load();
    if (cycle.count != seenCycles_ && cycle.nowNs > 0) {
        seenCycles_ = cycle.count;
        const Clock::time_point at{std::chrono::nanoseconds(cycle.nowNs)};
        if (!watch_.heard()) {
            seenReanchors_ = cycle.reanchors;
            listener_.routeStarted(attempt_, {true, streamId_, 0, at - timeOf(cycle.heard)});
        }
        watch_.progressed(now);
        feed_.publishPosition(cycle.heard, at);
        if (cycle.reanchors != seenReanchors_ || moved_) {
            seenReanchors_ = cycle.reanchors;
            moved_ = false;
            listener_.routeMoved(attempt_);
        }
    }
    switch (watch_.verdict(now)) {
    case StreamWatch::Verdict::NoServer: return absent(Absence::NoServer);
    // A stream that never played found no sink to link to: another route may do.
    case StreamWatch::Verdict::NeverPlayed: return absent(Absence::NeverPlayed);
    case StreamWatch::Verdict::StoppedPlaying: return fail(kStoppedPlaying);
    case StreamWatch::Verdict::Waiting:
    case StreamWatch::Verdict::Playing: break;
    }
    arm(watch_.interval());
}

void PipeWireRoute::absent(Absence why)
{
    const std::uint64_t attempt = attempt_;
    attempt_ = 0;
    endConnection();
    listener_.routeAbsent(attempt, why);
}

void PipeWireRoute::fail(const char* reason)
{
    const std::uint64_t attempt = attempt_;
    attempt_ = 0;
    endConnection();
    listener_.routeFailed(attempt, reason);
}

// The stream is disconnected first: that takes its node out of the data loop, waiting
// for the data thread to leave process(). Only then is the listener removed (before
// PipeWire 0.3.72, removing it clears the real-time callbacks from this thread, under the
// feet of a process() under way) and the stream destroyed.
void PipeWireRoute::endConnection()
{
    pw_loop_update_timer(pw_thread_loop_get_loop(loop_), watchTimer_, nullptr, nullptr, false);
    if (stream_) {
        pw_stream_disconnect(stream_);
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
    const auto seconds = std::chrono::floor<std::chrono::seconds>(delay);
    timespec value{static_cast<time_t>(seconds.count()),
                   static_cast<long>((delay - seconds).count())};
    pw_loop_update_timer(pw_thread_loop_get_loop(loop_), watchTimer_, &value, nullptr, false);
}

}  // namespace tavro::audio
