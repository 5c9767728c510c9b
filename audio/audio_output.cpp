#include "audio/audio_output.h"

#include "audio/realtime_thread.h"
#include "generated/project_info.h"

#include <pulse/context.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <string>

namespace tavro::audio {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kRetryInterval = 1000ms;
// The connection is watched closely until its stream is heard (frame 0 is placed from
// the reports of those first moments), then four times a second: each watch asks the
// server for a fresh timing report, which is published as the played position when it
// comes (the timeline runs on from it at the nominal rate in between).
constexpr auto kStartWatchInterval = 10ms;
constexpr auto kWatchInterval = 250ms;
// A server that has not accepted the connection by then counts as absent: it may hang.
constexpr auto kConnectTimeout = 300ms;
// A stream whose heard position does not move for this long has failed silently.
constexpr auto kSilenceLimit = 3s;
// A stream counts as started once this much of it has been heard: a server may play
// the first few blocks and then hold the stream back while its device catches up (a
// null sink that had rendered ahead does so for up to 2 s), which would put frame 0
// of the first estimate too early.
constexpr std::int64_t kSteadyFrames = 100 * kFramesPerMillisecond;

constexpr std::uint32_t kBytesPerMillisecond = kFramesPerMillisecond * sizeof(std::int16_t);
// kBuffered in all, device included (PA_STREAM_ADJUST_LATENCY), asked for kRequested at a
// time. Each request wakes the loop's thread (on PulseAudio twice: the block's release
// follows it), and those wake-ups are most of what the program costs while it plays: the
// larger the requests, the lighter it is. The server gives the device (kBuffered - 2
// requests) / 2 of it: PipeWire runs its graph in cycles of about what its streams ask the
// device for, and when a cycle passes the stream by, every later click moves by a whole
// cycle, so that share stays short. The beats are counted as far ahead as the stream is
// written (see ClickPlayer::lookahead); a stall of the whole program shorter than the
// buffer loses nothing.
constexpr auto kRequested = 60ms;
static_assert((AudioOutput::kBuffered - 2 * kRequested) / 2 == 10ms);
constexpr auto kTargetBytes =
    static_cast<std::uint32_t>(AudioOutput::kBuffered.count()) * kBytesPerMillisecond;
constexpr auto kRequestBytes =
    static_cast<std::uint32_t>(kRequested.count()) * kBytesPerMillisecond;

// A metronome is music to volume mixers. As an "event" its stream would be filed with
// the notification sounds, which mixers fold into one slider instead of showing the
// application.
constexpr const char* kMediaRole = "music";

constexpr const char* kNoServer = "No sound server is running.";
constexpr const char* kNotOpened = "The sound output could not be opened.";
constexpr const char* kDoesNotPlay = "The sound output does not play.";
constexpr const char* kServerWentAway = "The sound server went away.";
constexpr const char* kStoppedPlaying = "The sound output stopped playing.";

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

pa_stream* newClickStream(pa_context* context)
{
    const pa_sample_spec spec{PA_SAMPLE_S16LE, kSampleRate, 1};
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, kMediaRole);
    pa_stream* stream = pa_stream_new_with_proplist(context, "Clicks", &spec, nullptr, properties);
    pa_proplist_free(properties);
    return stream;
}

}  // namespace

AudioOutput::AudioOutput(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<tavro::audio::PlayedPosition>();
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return;
    pa_threaded_mainloop_set_name(loop_, "tavro-audio");
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    auto onTimer = [](pa_mainloop_api*, pa_time_event* timer, const timeval*, void* self) {
        auto* me = static_cast<AudioOutput*>(self);
        if (timer == me->retryTimer_)
            me->attempt();
        else
            me->watch();
    };
    // Both start disarmed.
    retryTimer_ = api->time_new(api, nullptr, onTimer, this);
    watchTimer_ = api->time_new(api, nullptr, onTimer, this);
    if (pa_threaded_mainloop_start(loop_) < 0) {
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }
}

// With the connection gone nothing is left to wait for: the loop's thread ends at once,
// whatever state the server is in.
AudioOutput::~AudioOutput()
{
    close();
    if (loop_) {
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
    }
}

void AudioOutput::open()
{
    if (open_)
        return;
    open_ = true;
    const quint64 session = ++session_;
    if (!loop_) {
        QMetaObject::invokeMethod(
            this, [this, session] { onUnavailable(session, QString::fromLatin1(kNotOpened)); },
            Qt::QueuedConnection);
        return;
    }
    pa_threaded_mainloop_lock(loop_);
    wanted_ = true;
    loopSession_ = session;
    outageReported_ = false;
    arm(retryTimer_, 0us);  // connecting happens on the loop's thread
    pa_threaded_mainloop_unlock(loop_);
}

void AudioOutput::close()
{
    if (!open_)
        return;
    open_ = false;
    ++session_;
    scheduleStream_.store(0, std::memory_order_release);
    if (!loop_)
        return;
    pa_threaded_mainloop_lock(loop_);
    wanted_ = false;
    disarm(retryTimer_);
    endConnection();
    pa_threaded_mainloop_unlock(loop_);
}

bool AudioOutput::isOpen() const { return open_; }

ClickSchedule& AudioOutput::schedule() { return schedule_; }

PlayedPosition AudioOutput::playedPosition() const
{
    if (!open_)
        return {};
    return position_.load();
}

std::int64_t AudioOutput::framesWritten() const
{
    return framesWritten_.load(std::memory_order_relaxed);
}

AudioOutput::ClickCounters AudioOutput::clickCounters() const
{
    return {renderer_.clicksStarted(), renderer_.clicksLate(), renderer_.clicksDropped()};
}

std::uint64_t AudioOutput::underflows() const
{
    return underflows_.load(std::memory_order_relaxed);
}

// Each attempt begins a connection of its own (a failed one cannot be reused) and
// watches it through watch(). libpulse's callbacks only note a failure: the connection
// is ended from watch(), never from inside one of its own callbacks.
void AudioOutput::attempt()
{
    if (!wanted_ || context_)
        return;
    if (!raised_) {
        raised_ = true;
        raiseCurrentThreadToRealtime();
    }
    failed_ = connected_ = heard_ = false;
    heardFrames_ = 0;
    heardClock_.reset();
    reportStamp_ = 0;
    attemptAt_ = Clock::now();
    arm(watchTimer_, kStartWatchInterval);
    context_ = newNamedContext(pa_threaded_mainloop_get_api(loop_));
    if (!context_)
        return fail(kNotOpened);
    auto onState = [](pa_context* context, void* self) {
        auto* me = static_cast<AudioOutput*>(self);
        const pa_context_state_t state = pa_context_get_state(context);
        if (state == PA_CONTEXT_READY) {
            me->connected_ = true;
            me->connectStream();
        } else if (!PA_CONTEXT_IS_GOOD(state)) {
            me->failed_ = true;
        }
    };
    pa_context_set_state_callback(context_, onState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
        failed_ = true;
}

void AudioOutput::connectStream()
{
    stream_ = newClickStream(context_);
    if (!stream_) {
        failed_ = true;
        return;
    }
    ++streams_;
    written_ = 0;
    renderer_.restart();
    auto onState = [](pa_stream* stream, void* self) {
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
            static_cast<AudioOutput*>(self)->failed_ = true;
    };
    auto onWrite = [](pa_stream*, std::size_t bytes, void* self) {
        static_cast<AudioOutput*>(self)->write(bytes);
    };
    auto onTiming = [](pa_stream*, void* self) {
        auto* me = static_cast<AudioOutput*>(self);
        if (me->heard_ && me->takeTimingReport())
            me->publishPosition(Clock::now());
    };
    auto onUnderflow = [](pa_stream*, void* self) {
        static_cast<AudioOutput*>(self)->underflows_.fetch_add(1, std::memory_order_relaxed);
    };
    // Moved to another output (the user's choice, or a new default output): the frames
    // and the heard position go on across the move, but the new output may hold more of
    // the stream than the old.
    auto onMoved = [](pa_stream*, void* self) {
        auto* me = static_cast<AudioOutput*>(self);
        QMetaObject::invokeMethod(
            me, [me, session = me->loopSession_] { me->onMoved(session); }, Qt::QueuedConnection);
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

// The render path: frames go straight into the buffers libpulse lends.
void AudioOutput::write(std::size_t bytes)
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
        render(static_cast<std::int16_t*>(data), static_cast<int>(n));
        if (pa_stream_write(stream_, data, n * sizeof(std::int16_t), nullptr, 0, PA_SEEK_RELATIVE)
            < 0) {
            failed_ = true;
            return;
        }
        frames -= n;
    }
}

void AudioOutput::render(std::int16_t* out, int frames)
{
    if (scheduleStream_.load(std::memory_order_acquire) == streams_)
        renderer_.render(out, written_, frames);
    else
        std::fill_n(out, frames, std::int16_t{0});
    written_ += frames;
    framesWritten_.store(written_, std::memory_order_relaxed);
}

// While a connection exists: ends a failed or silent one, tells of a stream that has
// started, and publishes the played position.
void AudioOutput::watch()
{
    const Clock::time_point now = Clock::now();
    if (failed_)
        return fail(heard_ ? kServerWentAway : connected_ ? kNotOpened : kNoServer);
    if (!connected_ && now - attemptAt_ > kConnectTimeout)
        return fail(kNoServer);

    const bool ready = stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY;
    const bool movedOn = ready && takeTimingReport();
    if (movedOn) {
        if (!heard_ && heardFrames_ >= kSteadyFrames && heardClock_.valid()) {
            heard_ = true;
            outageReported_ = false;
            const auto heardFor =
                std::chrono::microseconds(heardClock_.framesAt(now) * 1000 / kFramesPerMillisecond);
            const PlayedPosition frameZero{true, streams_, 0, now - heardFor};
            QMetaObject::invokeMethod(
                this, [this, session = loopSession_, frameZero] { onStarted(session, frameZero); },
                Qt::QueuedConnection);
        }
    } else if (now - (heard_ ? progressAt_ : attemptAt_) > kSilenceLimit) {
        return fail(heard_ ? kStoppedPlaying : kDoesNotPlay);
    }
    if (heard_)
        publishPosition(now);
    // The server reports ever more rarely by itself.
    if (ready) {
        if (pa_operation* update = pa_stream_update_timing_info(stream_, nullptr, nullptr))
            pa_operation_unref(update);
    }
    arm(watchTimer_, heard_ ? kWatchInterval : kStartWatchInterval);
}

void AudioOutput::publishPosition(Clock::time_point now)
{
    position_.store({true, streams_, heardClock_.framesAt(now), now});
}

// Feeds the heard clock the server's latest timing report, if it is one not seen yet,
// and returns whether it says that more was heard than before. The report is taken raw,
// not through libpulse's interpolation (see HeardClock).
bool AudioOutput::takeTimingReport()
{
    const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
    if (!timing || timing->read_index_corrupt)
        return false;
    const pa_usec_t stamp = pa_timeval_load(&timing->timestamp);
    if (stamp == reportStamp_)
        return false;
    reportStamp_ = stamp;
    const std::int64_t taken = timing->read_index / std::int64_t{sizeof(std::int16_t)};
    const auto held = static_cast<std::int64_t>(timing->sink_usec) * kSampleRate / 1'000'000;
    const HeardClock::Report report{
        std::max<std::int64_t>(taken - held, 0),
        Clock::now() - std::chrono::microseconds(pa_timeval_age(&timing->timestamp))};
    heardClock_.report(report);
    if (report.frames <= heardFrames_)
        return false;
    heardFrames_ = report.frames;
    progressAt_ = Clock::now();
    return true;
}

// Ends the connection, tells of the outage once, and tries again a second later.
void AudioOutput::fail(const char* reason)
{
    endConnection();
    if (!outageReported_) {
        outageReported_ = true;
        QMetaObject::invokeMethod(
            this,
            [this, session = loopSession_, reason] {
                onUnavailable(session, QString::fromLatin1(reason));
            },
            Qt::QueuedConnection);
    }
    if (wanted_)
        arm(retryTimer_, kRetryInterval);
}

// With the callbacks cleared first, nothing of the old connection reaches us again.
void AudioOutput::endConnection()
{
    disarm(watchTimer_);
    if (stream_) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
        pa_stream_set_moved_callback(stream_, nullptr, nullptr);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    framesWritten_.store(0, std::memory_order_relaxed);
    position_.store({});
}

void AudioOutput::arm(pa_time_event* timer, std::chrono::microseconds delay)
{
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    // The loop turns the wall-clock time into its own monotonic time at once.
    timeval when{};
    pa_timeval_add(pa_gettimeofday(&when), static_cast<pa_usec_t>(delay.count()));
    api->time_restart(timer, &when);
}

void AudioOutput::disarm(pa_time_event* timer)
{
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    api->time_restart(timer, nullptr);
}

void AudioOutput::onStarted(quint64 session, const PlayedPosition& frameZero)
{
    if (session != session_ || !open_)
        return;  // a stream of an open() since closed
    // The new stream counts from 0: clicks left in the old stream's frames must not
    // sound in it. It stays silent until it is named here.
    schedule_.publish(nullptr, 0);
    scheduleStream_.store(frameZero.stream, std::memory_order_release);
    emit streamStarted(frameZero);
}

void AudioOutput::onMoved(quint64 session)
{
    if (session == session_ && open_)
        emit streamMoved();
}

void AudioOutput::onUnavailable(quint64 session, const QString& reason)
{
    if (session != session_ || !open_)
        return;
    emit streamUnavailable(reason);
}

}  // namespace tavro::audio
