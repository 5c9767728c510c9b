// graph-record [--target SINK] [--latency FRAMES] --seconds N OUT.wav
//
// --latency is the cycle it asks of the graph (default 2048 frames, the longest the graph
// runs by default): a recorder must not make the graph it measures run shorter cycles.
// Records the monitor of a PipeWire sink (mono, 16 bit, 48 kHz) until SIGINT or SIGTERM,
// or N seconds, and writes it to OUT.wav with every captured buffer at its place on the
// graph's clock: sample i of the file is what the sink played i frames after the first
// recorded one. A cycle the recorder itself missed leaves silence where it belongs, not a
// shift of what follows, and is reported on standard error as
//     recorder gap at SAMPLE: FRAMES frames
// so that a judge can tell the recorder's losses from the player's, and when sample 0 was
// played, on the monotonic clock (the cycle's start, as the graph tells it), as
//     graph-record: sample 0 played at NANOSECONDS ns
//
// A sink's monitor reaches a capture stream one cycle after the sink played it, so each
// buffer is stamped with the previous cycle's position (stamped with its own, a change of
// quantum would fake a shift by the difference). Every buffer waiting is taken at each
// call.
#include <pipewire/pipewire.h>
#include <spa/param/audio/format-utils.h>
#include <spa/pod/builder.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 48000;
// At another graph rate the capture is resampled: cycle to cycle, a buffer holds a frame
// more or less than the position moved by.
constexpr std::int64_t kRoundingFrames = 8;

struct Recorder {
    pw_main_loop* loop = nullptr;
    pw_stream* stream = nullptr;
    std::vector<std::int16_t> samples;  // allocated and touched before the stream runs
    std::vector<bool> filled;
    bool started = false;
    std::int64_t origin = 0;        // the graph position of sample 0
    std::int64_t previous = -1;     // the previous cycle's position, in 48 kHz frames
    std::int64_t previousNs = 0;    // and its start on the monotonic clock
    std::int64_t firstNs = 0;       // when sample 0 was played
    std::int64_t end = 0;           // one past the last sample written
    bool overflow = false;
    std::int64_t rate = 0;          // the graph's latest rate
};

std::int64_t positionOf(const pw_time& time)
{
    const std::int64_t rate = time.rate.denom > 0 ? time.rate.denom : kRate;
    return static_cast<std::int64_t>(time.ticks) * kRate / rate;
}

void onProcess(void* data)
{
    auto* r = static_cast<Recorder*>(data);
    pw_time time{};
    pw_stream_get_time_n(r->stream, &time, sizeof time);
    const std::int64_t now = positionOf(time);
    r->rate = time.rate.denom;
    // The buffers waiting, newest last; the newest holds the previous cycle.
    pw_buffer* waiting[16];
    int count = 0;
    while (count < 16) {
        pw_buffer* b = pw_stream_dequeue_buffer(r->stream);
        if (!b)
            break;
        waiting[count++] = b;
    }
    std::int64_t frames = 0;
    for (int i = 0; i < count; ++i)
        frames += waiting[i]->buffer->datas[0].chunk->size / sizeof(std::int16_t);
    if (r->previous >= 0 && count > 0) {
        std::int64_t at = r->previous - r->origin;
        // The oldest waiting buffer begins this many frames before the newest one.
        const std::int64_t newest =
            waiting[count - 1]->buffer->datas[0].chunk->size / sizeof(std::int16_t);
        at -= frames - newest;
        if (!r->started) {
            r->started = true;
            r->origin += at;
            r->firstNs = r->previousNs - (frames - newest) * 1'000'000'000 / kRate;
            at = 0;
        } else if (std::abs(at - r->end) <= kRoundingFrames) {
            at = r->end;  // a resampled graph's rounding, not a lost cycle
        }
        for (int i = 0; i < count; ++i) {
            const spa_data& d = waiting[i]->buffer->datas[0];
            const auto n = static_cast<std::int64_t>(d.chunk->size / sizeof(std::int16_t));
            const auto* in = static_cast<const std::int16_t*>(d.data) + d.chunk->offset / 2;
            for (std::int64_t k = 0; k < n; ++k) {
                const std::int64_t s = at + k;
                if (s < 0)
                    continue;
                if (s >= static_cast<std::int64_t>(r->samples.size())) {
                    r->overflow = true;
                    break;
                }
                r->samples[s] = in ? in[k] : 0;
                r->filled[s] = true;
            }
            at += n;
        }
        if (at > r->end)
            r->end = at;
    } else if (r->previous < 0) {
        r->origin = now;  // replaced by the first buffer's own place
    }
    for (int i = 0; i < count; ++i)
        pw_stream_queue_buffer(r->stream, waiting[i]);
    r->previous = now;
    r->previousNs = time.now;
    if (r->overflow)
        pw_main_loop_quit(r->loop);
}

void writeLe(std::FILE* f, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        std::fputc(static_cast<int>((value >> (8 * i)) & 0xff), f);
}

bool writeWav(const char* path, const std::vector<std::int16_t>& samples, std::int64_t count)
{
    std::FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    const auto bytes = static_cast<std::uint32_t>(count * 2);
    std::fwrite("RIFF", 1, 4, f);
    writeLe(f, 36 + bytes, 4);
    std::fwrite("WAVEfmt ", 1, 8, f);
    writeLe(f, 16, 4);
    writeLe(f, 1, 2);
    writeLe(f, 1, 2);
    writeLe(f, kRate, 4);
    writeLe(f, kRate * 2, 4);
    writeLe(f, 2, 2);
    writeLe(f, 16, 2);
    std::fwrite("data", 1, 4, f);
    writeLe(f, bytes, 4);
    for (std::int64_t i = 0; i < count; ++i)
        writeLe(f, static_cast<std::uint16_t>(samples[i]), 2);
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string target = "metro_null", out;
    long seconds = 0, latency = 2048;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--target" && i + 1 < argc)
            target = argv[++i];
        else if (arg == "--seconds" && i + 1 < argc)
            seconds = std::strtol(argv[++i], nullptr, 10);
        else if (arg == "--latency" && i + 1 < argc)
            latency = std::strtol(argv[++i], nullptr, 10);
        else
            out = arg;
    }
    if (out.empty() || seconds <= 0 || latency <= 0) {
        std::fprintf(stderr,
                     "usage: graph-record [--target SINK] [--latency FRAMES] --seconds N "
                     "OUT.wav\n");
        return 2;
    }
    pw_init(&argc, &argv);
    Recorder r;
    r.samples.assign(static_cast<std::size_t>(seconds) * kRate, 0);
    r.filled.assign(r.samples.size(), false);
    r.loop = pw_main_loop_new(nullptr);
    pw_loop* loop = pw_main_loop_get_loop(r.loop);
    auto quit = [](void* d, int) { pw_main_loop_quit(static_cast<Recorder*>(d)->loop); };
    pw_loop_add_signal(loop, SIGINT, quit, &r);
    pw_loop_add_signal(loop, SIGTERM, quit, &r);
    spa_source* limit = pw_loop_add_timer(
        loop, [](void* d, std::uint64_t) { pw_main_loop_quit(static_cast<Recorder*>(d)->loop); },
        &r);
    timespec value{seconds, 0};
    pw_loop_update_timer(loop, limit, &value, nullptr, false);

    pw_properties* props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_TARGET_OBJECT,
        target.c_str(), PW_KEY_STREAM_CAPTURE_SINK, "true", PW_KEY_APP_NAME, "graph-record",
        PW_KEY_CONFIG_NAME, "client-rt.conf",
        nullptr);
    pw_properties_setf(props, PW_KEY_NODE_LATENCY, "%ld/%d", latency, kRate);
    static const pw_stream_events events = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.process = onProcess;
        return e;
    }();
    r.stream = pw_stream_new_simple(loop, "graph-record", props, &events, &r);
    std::uint8_t buffer[256];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_S16;
    info.rate = kRate;
    info.channels = 1;
    info.position[0] = SPA_AUDIO_CHANNEL_MONO;
    const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    if (pw_stream_connect(r.stream, PW_DIRECTION_INPUT, PW_ID_ANY,
                          static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT
                                                       | PW_STREAM_FLAG_MAP_BUFFERS
                                                       | PW_STREAM_FLAG_RT_PROCESS),
                          params, 1)
        < 0) {
        std::fprintf(stderr, "graph-record: cannot connect a stream\n");
        return 1;
    }
    pw_main_loop_run(r.loop);
    pw_stream_destroy(r.stream);  // waits for the data thread to leave it
    // Gaps inside what was recorded are the recorder's own losses.
    std::int64_t gaps = 0;
    for (std::int64_t s = 0; s < r.end;) {
        if (r.filled[s]) {
            ++s;
            continue;
        }
        std::int64_t e = s;
        while (e < r.end && !r.filled[e])
            ++e;
        std::fprintf(stderr, "recorder gap at %lld: %lld frames\n", static_cast<long long>(s),
                     static_cast<long long>(e - s));
        ++gaps;
        s = e;
    }
    std::fprintf(stderr, "graph-record: sample 0 played at %lld ns\n",
                 static_cast<long long>(r.firstNs));
    std::fprintf(stderr, "graph-record: %lld samples, %lld gaps, graph at %lld Hz%s\n",
                 static_cast<long long>(r.end), static_cast<long long>(gaps),
                 static_cast<long long>(r.rate),
                 r.overflow ? ", stopped at --seconds" : "");
    pw_main_loop_destroy(r.loop);
    return writeWav(out.c_str(), r.samples, r.end) ? 0 : 1;
}
