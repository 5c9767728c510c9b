#pragma once

#include "audio/heard_clock.h"
#include "audio/sound_route.h"
#include "audio/stream_feed.h"
#include "audio/stream_watch.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;

namespace tavro::audio {

// The route through a PulseAudio server (PulseAudio itself, or PipeWire's): one mono
// 16-bit 48 kHz libpulse stream.
//
// The stream has no prebuffer: if it ever runs dry (the program stalled longer than its
// buffer, kBuffered) the server plays silence and goes on counting frames, so the
// samples that come too late are lost and every later frame still sounds at its own time.
//
// Its connection, its stream and the timers that watch them live on libpulse's threaded
// main loop, whose thread runs at real-time priority and renders the samples straight
// into the buffers the server asks to fill.
class PulseRoute final : public SoundRoute {
public:
    // The most of the stream written ahead of what is heard, the device's own latency
    // included (unless the output holds more than that).
    static constexpr std::chrono::milliseconds kBuffered{140};

    PulseRoute(StreamFeed& feed, RouteListener& listener);
    ~PulseRoute() override;  // ends the connection and the loop's thread

    // Where an earlier route answered with no sound device (PipeWire), a PulseAudio server
    // of PipeWire's ("on PipeWire") has none either, and its stream would play to
    // nothing: it counts as absent. (Where PipeWire did not answer at all, as in a
    // sandbox that reaches only the PulseAudio socket, or its own stream failed, its
    // PulseAudio server is taken.)
    void begin(std::uint64_t attempt, const EarlierRoutes& earlier) override;
    void end() override;

private:
    // On the loop's thread, or under the loop's lock.
    void attempt();
    void serverKnown(const char* serverName);
    void connectStream();
    void write(std::size_t bytes);
    void watch();
    bool takeTimingReport();
    void publishPosition(std::chrono::steady_clock::time_point now);
    void absent(Absence why);
    void fail(const char* reason);
    void endConnection();
    void arm(pa_time_event* timer, std::chrono::microseconds delay);
    void disarm(pa_time_event* timer);

    StreamFeed& feed_;
    RouteListener& listener_;

    // The loop's: touched on its thread, or elsewhere only under its lock.
    pa_threaded_mainloop* loop_ = nullptr;
    pa_time_event* beginTimer_ = nullptr;
    pa_time_event* watchTimer_ = nullptr;
    pa_context* context_ = nullptr;  // the connection being made or in use
    pa_stream* stream_ = nullptr;
    std::uint64_t attempt_ = 0;     // the begin() that news belongs to (0: none)
    bool refuseOnPipeWire_ = false; // see begin()
    bool raised_ = false;           // the loop's thread runs at real-time priority
    bool failed_ = false;           // the connection or the stream has failed
    bool absent_ = false;           // the server is PipeWire's and plays no sound
    StreamWatch watch_;
    std::uint64_t stream_id_ = 0;   // the feed's id of the stream
    std::int64_t written_ = 0;      // frames of the stream rendered so far
    std::int64_t heardFrames_ = 0;  // the most the server has reported heard
    HeardClock heardClock_;
    std::uint64_t reportStamp_ = 0;  // when the latest timing report was taken
    std::array<std::int16_t, 960> scratch_{};  // when libpulse lends no buffer to fill
};

}  // namespace tavro::audio
