#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct pw_stream;
struct pw_thread_loop;
struct spa_io_position;

namespace tavro::audio::testing {

// An output with a latency of its own on a private PipeWire, as a wireless headset has:
// a sink, `name`, whose sound comes out of the sink `into` exactly `latency` later, and
// which tells the streams that play to it that latency, as such a device's driver does.
// Made of two streams of the test's own (one a sink, one playing into `into`), so the
// server's null sink stays the one clock and the one place to record.
class DelayedSink {
public:
    DelayedSink(const std::string& name, std::chrono::milliseconds latency,
                const std::string& into);
    ~DelayedSink();
    DelayedSink(const DelayedSink&) = delete;
    DelayedSink& operator=(const DelayedSink&) = delete;

    bool isOpen() const { return playback_.stream != nullptr; }

private:
    // One of the two streams, as its callbacks see it.
    struct Side {
        DelayedSink* owner;
        pw_stream* stream = nullptr;
        spa_io_position* position = nullptr;  // the graph's, while the stream runs
    };

    void end();
    // On the data thread, in the graph's cycles: what the sink is given goes into the
    // ring at the cycle's position, and comes out of it `delay_` frames later.
    void take();
    void give();

    pw_thread_loop* loop_ = nullptr;
    Side sink_{this};
    Side playback_{this};
    std::vector<float> ring_;
    std::uint64_t delay_ = 0;
};

}  // namespace tavro::audio::testing
