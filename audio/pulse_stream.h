#pragma once

#include "audio/output_stream.h"

#include <pulse/context.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <array>
#include <atomic>

namespace tavro::audio {

// A playback stream straight through libpulse. It has a connection of its own and is
// fed from libpulse's own thread, raised to real-time priority like the audio thread:
// the server asks for about 10 ms at a time and keeps about 60 ms queued, device latency
// included. It has no prebuffer, so if it ever runs dry (the program stalled longer than
// the buffer) the server plays silence and goes on counting frames: the samples that
// arrive too late are dropped, and every later frame still sounds at its own time.
//
// Nothing here blocks for long: start() only begins to connect, failures arrive through
// failed(), and the destructor closes the connection whatever state the server is in.
class PulseStream : public OutputStream {
public:
    PulseStream(const ClickSchedule& schedule, const std::atomic<std::uint64_t>& scheduleStream,
                std::uint64_t stream);
    ~PulseStream() override;

    PulseStream(const PulseStream&) = delete;
    PulseStream& operator=(const PulseStream&) = delete;

    // Begins to connect; false when libpulse refused at once.
    bool start();

    bool failed() const override { return failed_.load(std::memory_order_acquire); }
    std::optional<std::int64_t> heardMicros() override;
    const ClickSource& source() const override { return source_; }

private:
    static void onContextState(pa_context* context, void* self);
    static void onStreamState(pa_stream* stream, void* self);
    static void onWrite(pa_stream* stream, std::size_t bytes, void* self);
    void connectStream();
    void write(std::size_t bytes);

    ClickSource source_;
    pa_threaded_mainloop* loop_ = nullptr;
    bool running_ = false;  // the loop's thread was started
    // Created on the connection's thread; touched elsewhere only under the loop's lock.
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    std::atomic<bool> failed_{false};
    // The rest belongs to libpulse's thread.
    bool raised_ = false;
    // Used when libpulse lends no buffer to write into.
    std::array<std::int16_t, 960> scratch_{};
};

}  // namespace tavro::audio
