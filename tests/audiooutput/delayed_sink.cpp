#include "delayed_sink.h"

#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/param/latency-utils.h>
#include <spa/pod/builder.h>

#include <algorithm>

namespace tavro::audio::testing {

namespace {

constexpr std::uint32_t kRate = 48000;
constexpr std::size_t kRingFrames = std::size_t{1} << 18;  // 5.4 s, a power of two

const spa_pod* monoFloatFormat(spa_pod_builder& builder)
{
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = kRate;
    info.channels = 1;
    info.position[0] = SPA_AUDIO_CHANNEL_MONO;
    return spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info);
}

}  // namespace

DelayedSink::DelayedSink(const std::string& name, std::chrono::milliseconds latency,
                         const std::string& into)
    : ring_(kRingFrames, 0.0f),
      delay_(static_cast<std::uint64_t>(latency.count()) * kRate / 1000)
{
    pw_init(nullptr, nullptr);
    loop_ = pw_thread_loop_new("delayed-sink", nullptr);
    if (!loop_ || pw_thread_loop_start(loop_) < 0) {
        end();
        return;
    }

    auto eventsWith = [](void (*process)(void*)) {
        pw_stream_events events{};
        events.version = PW_VERSION_STREAM_EVENTS;
        events.io_changed = [](void* side, std::uint32_t id, void* area, std::uint32_t) {
            if (id == SPA_IO_Position)
                static_cast<Side*>(side)->position = static_cast<spa_io_position*>(area);
        };
        events.process = process;
        return events;
    };
    static const pw_stream_events sinkEvents =
        eventsWith([](void* side) { static_cast<Side*>(side)->owner->take(); });
    static const pw_stream_events playbackEvents =
        eventsWith([](void* side) { static_cast<Side*>(side)->owner->give(); });

    // One node group: both streams follow one driver, so they see the same positions.
    // Their cycle may be as long as the graph's longest (its default clock.max-quantum):
    // a sink stream that asks for less holds another part of a cycle more than it says,
    // once the graph runs longer cycles.
    const std::string group = "tavro-test-" + name;
    constexpr const char* kLatency = "2048/48000";
    pw_thread_loop_lock(loop_);
    sink_.stream = pw_stream_new_simple(
        pw_thread_loop_get_loop(loop_), name.c_str(),
        pw_properties_new(PW_KEY_MEDIA_CLASS, "Audio/Sink", PW_KEY_NODE_NAME, name.c_str(),
                          PW_KEY_NODE_DESCRIPTION, name.c_str(), PW_KEY_NODE_GROUP, group.c_str(),
                          PW_KEY_NODE_LINK_GROUP, group.c_str(), PW_KEY_NODE_LATENCY, kLatency,
                          nullptr),
        &sinkEvents, &sink_);
    playback_.stream = pw_stream_new_simple(
        pw_thread_loop_get_loop(loop_), (name + " out").c_str(),
        pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Playback",
                          PW_KEY_TARGET_OBJECT, into.c_str(), PW_KEY_NODE_DONT_RECONNECT, "true",
                          PW_KEY_NODE_GROUP, group.c_str(), PW_KEY_NODE_LINK_GROUP, group.c_str(),
                          PW_KEY_NODE_LATENCY, kLatency, nullptr),
        &playbackEvents, &playback_);
    std::uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod* format[1] = {monoFloatFormat(builder)};
    const auto flags = static_cast<pw_stream_flags>(
        PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_RT_PROCESS);
    bool connected =
        sink_.stream && playback_.stream
        && pw_stream_connect(sink_.stream, PW_DIRECTION_INPUT, PW_ID_ANY, flags, format, 1) >= 0
        && pw_stream_connect(playback_.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY, flags, format, 1)
               >= 0;
    if (connected) {
        // What the streams that play here are told, as a device's driver tells it: their
        // sound comes out this much later.
        spa_latency_info info = SPA_LATENCY_INFO(SPA_DIRECTION_INPUT);
        info.min_ns = info.max_ns =
            static_cast<std::uint64_t>(std::chrono::nanoseconds(latency).count());
        const spa_pod* latencyParam[1] = {spa_latency_build(&builder, SPA_PARAM_Latency, &info)};
        connected = pw_stream_update_params(sink_.stream, latencyParam, 1) >= 0;
    }
    pw_thread_loop_unlock(loop_);
    if (!connected)
        end();
}

DelayedSink::~DelayedSink() { end(); }

// Destroying a stream waits for the data thread to leave it.
void DelayedSink::end()
{
    if (!loop_)
        return;
    pw_thread_loop_lock(loop_);
    for (Side* side : {&sink_, &playback_}) {
        if (side->stream)
            pw_stream_destroy(side->stream);
        side->stream = nullptr;
    }
    pw_thread_loop_unlock(loop_);
    pw_thread_loop_stop(loop_);
    pw_thread_loop_destroy(loop_);
    loop_ = nullptr;
}

void DelayedSink::take()
{
    pw_buffer* b = pw_stream_dequeue_buffer(sink_.stream);
    if (!b)
        return;
    const spa_data& d = b->buffer->datas[0];
    if (d.data && d.chunk && sink_.position) {
        const auto* in = static_cast<const float*>(d.data) + d.chunk->offset / sizeof(float);
        const std::uint64_t at = sink_.position->clock.position;
        for (std::uint32_t i = 0; i < d.chunk->size / sizeof(float); ++i)
            ring_[(at + i) % kRingFrames] = in[i];
    }
    pw_stream_queue_buffer(sink_.stream, b);
}

// Each frame is played once and then cleared: a cycle the sink missed plays silence.
void DelayedSink::give()
{
    pw_buffer* b = pw_stream_dequeue_buffer(playback_.stream);
    if (!b)
        return;
    spa_data& d = b->buffer->datas[0];
    if (d.data && playback_.position) {
        auto* out = static_cast<float*>(d.data);
        const std::uint64_t frames = std::min<std::uint64_t>(
            b->requested > 0 ? b->requested : playback_.position->clock.duration,
            d.maxsize / sizeof(float));
        const std::uint64_t from = playback_.position->clock.position + kRingFrames - delay_;
        for (std::uint64_t i = 0; i < frames; ++i) {
            float& sample = ring_[(from + i) % kRingFrames];
            out[i] = sample;
            sample = 0.0f;
        }
        d.chunk->offset = 0;
        d.chunk->stride = sizeof(float);
        d.chunk->size = static_cast<std::uint32_t>(frames * sizeof(float));
    }
    pw_stream_queue_buffer(playback_.stream, b);
}

}  // namespace tavro::audio::testing
