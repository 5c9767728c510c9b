#include "audio/pulse_stream.h"

#include "audio/realtime_thread.h"

#include <algorithm>

namespace tavro::audio {

namespace {

constexpr std::uint32_t kBytesPerMillisecond = kFramesPerMillisecond * sizeof(std::int16_t);
// 60 ms in all, device included (PA_STREAM_ADJUST_LATENCY), like the Qt sink's buffer:
// the written frames must stay well inside the lookahead of the beats.
constexpr std::uint32_t kTargetBytes = 60 * kBytesPerMillisecond;
constexpr std::uint32_t kRequestBytes = 10 * kBytesPerMillisecond;

}  // namespace

PulseStream::PulseStream(const ClickSchedule& schedule,
                         const std::atomic<std::uint64_t>& scheduleStream, std::uint64_t stream)
    : source_(schedule, scheduleStream, stream)
{
}

// The order of pa_simple_free: with the thread stopped nothing else touches the stream.
// Disconnecting would still tell the callbacks; they have nothing left to say.
PulseStream::~PulseStream()
{
    if (running_)
        pa_threaded_mainloop_stop(loop_);
    if (stream_) {
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa_stream_unref(stream_);
    }
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    if (loop_)
        pa_threaded_mainloop_free(loop_);
}

bool PulseStream::start()
{
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return false;
    pa_threaded_mainloop_set_name(loop_, "tavro-pulse");
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Tavro Metronome");
    if (!context_)
        return false;
    pa_context_set_state_callback(context_, &PulseStream::onContextState, this);
    // The thread starts after connecting, so neither call needs the lock.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOFLAGS, nullptr) < 0)
        return false;
    running_ = pa_threaded_mainloop_start(loop_) >= 0;
    return running_;
}

std::optional<std::int64_t> PulseStream::heardMicros()
{
    std::optional<std::int64_t> heard;
    if (!running_)
        return heard;
    pa_threaded_mainloop_lock(loop_);
    pa_usec_t micros = 0;
    if (stream_ && pa_stream_get_state(stream_) == PA_STREAM_READY
        && pa_stream_get_time(stream_, &micros) >= 0)
        heard = static_cast<std::int64_t>(micros);
    pa_threaded_mainloop_unlock(loop_);
    return heard;
}

void PulseStream::onContextState(pa_context* context, void* self)
{
    auto* me = static_cast<PulseStream*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY)
        me->connectStream();
    else if (!PA_CONTEXT_IS_GOOD(state))
        me->failed_.store(true, std::memory_order_release);
}

void PulseStream::connectStream()
{
    const pa_sample_spec spec{PA_SAMPLE_S16LE, kSampleRate, 1};
    stream_ = pa_stream_new(context_, "Clicks", &spec, nullptr);
    if (!stream_) {
        failed_.store(true, std::memory_order_release);
        return;
    }
    pa_stream_set_state_callback(stream_, &PulseStream::onStreamState, this);
    pa_stream_set_write_callback(stream_, &PulseStream::onWrite, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = kTargetBytes;
    attr.prebuf = 0;  // never wait to refill: time goes on through an underrun
    attr.minreq = kRequestBytes;
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0)
        failed_.store(true, std::memory_order_release);
}

void PulseStream::onStreamState(pa_stream* stream, void* self)
{
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        static_cast<PulseStream*>(self)->failed_.store(true, std::memory_order_release);
}

void PulseStream::onWrite(pa_stream*, std::size_t bytes, void* self)
{
    static_cast<PulseStream*>(self)->write(bytes);
}

// The render path: frames go straight into the buffers libpulse lends.
void PulseStream::write(std::size_t bytes)
{
    if (!raised_) {
        raised_ = true;
        raiseCurrentThreadToRealtime();
    }
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
        source_.fill(static_cast<std::int16_t*>(data), static_cast<int>(n));
        if (pa_stream_write(stream_, data, n * sizeof(std::int16_t), nullptr, 0,
                            PA_SEEK_RELATIVE) < 0) {
            failed_.store(true, std::memory_order_release);
            return;
        }
        frames -= n;
    }
}

}  // namespace tavro::audio
