#include "audio/pulse_route.h"

#include "audio/frame_time.h"
#include "audio/realtime_thread.h"
#include "generated/project_info.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace tavro::audio {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using namespace route;

// A stream counts as started once this much of it has been heard: a server may play
// the first few blocks and then hold the stream back while its device catches up (a
// null sink that had rendered ahead does so for up to 2 s), which would put frame 0
// of the first estimate too early.
constexpr std::int64_t kSteadyFrames = 100 * kFramesPerMillisecond;

constexpr std::uint32_t kBytesPerMillisecond = kFramesPerMillisecond * sizeof(std::int16_t);
// kBuffered in all, the device's latency included (PA_STREAM_ADJUST_LATENCY), asked
// kRequested at a time: each request wakes the loop's thread, most of what the program
// costs while it plays. The device gets (kBuffered - 2 requests) / 2, short, because
// PipeWire's PulseAudio server runs its cycle at about that and an xrun there moves
// every later click by a whole cycle.
constexpr auto kRequested = 60ms;
static_assert((PulseRoute::kBuffered - 2 * kRequested) / 2 == 10ms);
constexpr auto kTargetBytes =
    static_cast<std::uint32_t>(PulseRoute::kBuffered.count()) * kBytesPerMillisecond;
constexpr auto kRequestBytes =
    static_cast<std::uint32_t>(kRequested.count()) * kBytesPerMillisecond;

// A connection that names the program as its desktop entry does, so that mixers show
// its stream with the program's name and icon.
pa_context* newNamedContext(pa_mainloop_api* api)
{
    pa_proplist* names = pa_proplist_new();
    // The icon is installed under the desktop id.
    const std::string name(project::kAppName), id(project::kAppId);
    pa_proplist_sets(names, PA_PROP_APPLICATION_NAME, name.c_str());
    pa_proplist_sets(names, PA_PROP_APPLICATION_ID, id.c_str());
    pa_proplist_sets(names, PA_PROP_APPLICATION_ICON_NAME, id.c_str());
    pa_context* context = pa_context_new_with_proplist(api, name.c_str(), names);
    pa_proplist_free(names);
    return context;
}

// No media role, as on PipeWire (see PipeWireRoute): PulseAudio too keeps a stream's output
// and volume by its role before its application.
pa_stream* newClickStream(pa_context* context)
{
    const pa_sample_spec spec{PA_SAMPLE_S16LE, kSampleRate, 1};
    return pa_stream_new(context, "Clicks", &spec, nullptr);
}

}  // namespace

PulseRoute::PulseRoute(StreamFeed& feed, RouteListener& listener)
    : feed_(feed),
      listener_(listener)
{
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return;
    pa_threaded_mainloop_set_name(loop_, "tavro-pulse");
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    auto onTimer = [](pa_mainloop_api*, pa_time_event* timer, const timeval*, void* self) {
        auto* me = static_cast<PulseRoute*>(self);
        if (timer == me->beginTimer_)
            me->attempt();
        else
            me->watch();
    };
    // Both start disarmed.
    beginTimer_ = api->time_new(api, nullptr, onTimer, this);
    watchTimer_ = api->time_new(api, nullptr, onTimer, this);
    if (!beginTimer_ || !watchTimer_ || pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);  // frees its timers too
        loop_ = nullptr;
    }
}

// With the connection gone nothing is left to wait for: the loop's thread ends at once,
// whatever state the server is in.
PulseRoute::~PulseRoute()
{
    end();
    if (loop_) {
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
    }
}

void PulseRoute::begin(std::uint64_t attempt, const EarlierRoutes& earlier)
{
    if (!loop_)
        return listener_.routeFailed(attempt, kNotOpened);
    pa_threaded_mainloop_lock(loop_);
    endConnection();
    attempt_ = attempt;
    refuseOnPipeWire_ = earlier.answeredWithoutDevices;
    arm(beginTimer_, 0us);  // connecting happens on the loop's thread
    pa_threaded_mainloop_unlock(loop_);
}

void PulseRoute::end()
{
    if (!loop_)
        return;
    pa_threaded_mainloop_lock(loop_);
    attempt_ = 0;
    disarm(beginTimer_);
    endConnection();
    pa_threaded_mainloop_unlock(loop_);
}

// Each attempt begins a connection of its own (a failed one cannot be reused) and
// watches it through watch(). libpulse's callbacks only note a failure: the connection
// is ended from watch(), never from inside one of its own callbacks.
void PulseRoute::attempt()
{
    if (attempt_ == 0 || context_)
        return;
    if (!raised_) {
        raised_ = true;
        raiseCurrentThreadToRealtime();
    }
    failed_ = absent_ = false;
    heardFrames_ = 0;
    heardClock_.reset();
    reportStamp_ = 0;
    watch_.begin(Clock::now());
    arm(watchTimer_, watch_.interval());
    context_ = newNamedContext(pa_threaded_mainloop_get_api(loop_));
    if (!context_)
        return fail(kNotOpened);
    auto onState = [](pa_context* context, void* self) {
        auto* me = static_cast<PulseRoute*>(self);
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY) {
            me->watch_.connected(Clock::now());
            if (!me->refuseOnPipeWire_)
                return me->connectStream();
            auto onInfo = [](pa_context*, const pa_server_info* info, void* self) {
                static_cast<PulseRoute*>(self)->serverKnown(info ? info->server_name : nullptr);
            };
            if (pa_operation* query = pa_context_get_server_info(context, onInfo, me))
                pa_operation_unref(query);
            else
                me->failed_ = true;
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            me->failed_ = true;
        }
    };
    pa_context_set_state_callback(context_, onState, this);
    // Never starts a server of its own: a retry each second would start one each time.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        failed_ = true;
}

void PulseRoute::serverKnown(const char* serverName)
{
    if (!context_)
        return;
    if (serverName && std::strstr(serverName, "on PipeWire"))
        absent_ = true;  // ended from watch()
    else
        connectStream();
}

void PulseRoute::connectStream()
{
    stream_ = newClickStream(context_);
    if (!stream_) {
        failed_ = true;
        return;
    }
    stream_id_ = feed_.beginStream();
    written_ = 0;
    auto onState = [](pa_stream* stream, void* self) {
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
            static_cast<PulseRoute*>(self)->failed_ = true;
    };
    auto onWrite = [](pa_stream*, std::size_t bytes, void* self) {
        static_cast<PulseRoute*>(self)->write(bytes);
    };
    auto onTiming = [](pa_stream*, void* self) {
        auto* me = static_cast<PulseRoute*>(self);
        if (me->watch_.heard() && me->takeTimingReport())
            me->publishPosition(Clock::now());
    };
    auto onUnderflow = [](pa_stream*, void* self) {
        static_cast<PulseRoute*>(self)->feed_.countUnderflow();
    };
    // Moved to another output (the user's choice, or a new default output): the frames
    // and the heard position go on across the move, but the new output may hold more of
    // the stream than the old.
    auto onMoved = [](pa_stream*, void* self) {
        auto* me = static_cast<PulseRoute*>(self);
        me->listener_.routeMoved(me->attempt_);
    };
    pa_stream_set_state_callback(stream_, onState, this);
    pa_stream_set_write_callback(stream_, onWrite, this);
    pa_stream_set_underflow_callback(stream_, onUnderflow, this);
    pa_stream_set_moved_callback(stream_, onMoved, this);
    pa_stream_set_latency_update_callback(stream_, onTiming, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = kTargetBytes;
    attr.prebuf = 0;  // never wait to refill: time goes on through an underrun
    attr.minreq = kRequestBytes;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0)
        failed_ = true;
}

// The render path: frames go straight into the buffers libpulse lends, one after the
// other (the server counts on through an underrun, so the count is the stream's frame).
void PulseRoute::write(std::size_t bytes)
{
    std::size_t frames = bytes / sizeof(std::int16_t);
    while (frames > 0) {
        void* data = nullptr;
        std::size_t size = frames * sizeof(std::int16_t);
        if (pa_stream_begin_write(stream_, &data, &size) < 0 || !data) {
            data = scratch_.data();
            size = std::min(frames, scratch_.size()) * sizeof(std::int16_t);
        }
        const std::size_t n = std::min(frames, size / sizeof(std::int16_t));
        if (n == 0) {
            if (data != scratch_.data())
                pa_stream_cancel_write(stream_);
            return;
        }
        feed_.render(static_cast<std::int16_t*>(data), written_, static_cast<int>(n));
        written_ += static_cast<std::int64_t>(n);
        if (pa_stream_write(stream_, data, n * sizeof(std::int16_t), nullptr, 0, PA_SEEK_RELATIVE)
            < 0) {
            failed_ = true;
            return;
        }
        frames -= n;
    }
}

// While a connection exists: ends a failed or silent one, tells of a stream that has
// started, and publishes the played position.
void PulseRoute::watch()
{
    const Clock::time_point now = Clock::now();
    if (absent_)
        return absent(Absence::NoDevices);
    if (failed_) {
        if (!watch_.isConnected())
            return absent(Absence::NoServer);
        return fail(watch_.heard() ? kServerWentAway : kNotOpened);
    }
    const bool ready = stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY;
    if (ready)
        takeTimingReport();
    if (!watch_.heard() && heardFrames_ >= kSteadyFrames && heardClock_.valid()) {
        const std::int64_t heard = heardClock_.framesAt(now);
        listener_.routeStarted(attempt_, {true, stream_id_, 0, now - timeOf(heard)});
        watch_.progressed(now, true);
    }
    switch (watch_.verdict(now)) {
    case StreamWatch::Verdict::NoServer: return absent(Absence::NoServer);
    case StreamWatch::Verdict::NeverPlayed: return absent(Absence::NeverPlayed);
    case StreamWatch::Verdict::StoppedPlaying: return fail(kStoppedPlaying);
    case StreamWatch::Verdict::Waiting: break;
    case StreamWatch::Verdict::Playing: publishPosition(now); break;
    }
    // The server reports ever more rarely by itself.
    if (ready) {
        if (pa_operation* update = pa_stream_update_timing_info(stream_, nullptr, nullptr))
            pa_operation_unref(update);
    }
    arm(watchTimer_, watch_.interval());
}

void PulseRoute::publishPosition(Clock::time_point now)
{
    feed_.publishPosition(heardClock_.framesAt(now), now);
}

// Feeds the heard clock the server's latest timing report, if it is one not seen yet,
// and returns whether it says that more was heard than before. The report is taken raw,
// not through libpulse's interpolation (see HeardClock).
bool PulseRoute::takeTimingReport()
{
    const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
    if (!timing || timing->read_index_corrupt)
        return false;
    const pa_usec_t stamp = pa_timeval_load(&timing->timestamp);
    if (stamp == reportStamp_)
        return false;
    reportStamp_ = stamp;
    const std::int64_t taken = timing->read_index / std::int64_t{sizeof(std::int16_t)};
    const std::int64_t held = framesIn(std::chrono::microseconds(timing->sink_usec));
    const HeardClock::Report report{
        std::max<std::int64_t>(taken - held, 0),
        Clock::now() - std::chrono::microseconds(pa_timeval_age(&timing->timestamp))};
    heardClock_.report(report);
    if (report.frames <= heardFrames_)
        return false;
    heardFrames_ = report.frames;
    watch_.progressed(Clock::now(), false);
    return true;
}

void PulseRoute::absent(Absence why)
{
    const std::uint64_t attempt = attempt_;
    attempt_ = 0;
    endConnection();
    listener_.routeAbsent(attempt, why);
}

void PulseRoute::fail(const char* reason)
{
    const std::uint64_t attempt = attempt_;
    attempt_ = 0;
    endConnection();
    listener_.routeFailed(attempt, reason);
}

// With the callbacks cleared first, nothing of the old connection reaches us again.
void PulseRoute::endConnection()
{
    disarm(watchTimer_);
    if (stream_) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
        pa_stream_set_moved_callback(stream_, nullptr, nullptr);
        pa_stream_set_latency_update_callback(stream_, nullptr, nullptr);
        pa_stream_unref(stream_);
        stream_ = nullptr;
        feed_.endStream();
    }
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
}

void PulseRoute::arm(pa_time_event* timer, std::chrono::microseconds delay)
{
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    // The loop turns the wall-clock time into its own monotonic time at once.
    timeval when{};
    pa_timeval_add(pa_gettimeofday(&when), static_cast<pa_usec_t>(delay.count()));
    api->time_restart(timer, &when);
}

void PulseRoute::disarm(pa_time_event* timer)
{
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    api->time_restart(timer, nullptr);
}

}  // namespace tavro::audio
