#pragma once

#include "audio/click_renderer.h"
#include "audio/click_schedule.h"
#include "audio/heard_clock.h"
#include "audio/played_position.h"
#include "audio/seqlock.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;

namespace tavro::audio {

// The sound output: one mono 16-bit 48 kHz libpulse stream to the desktop's sound server
// (PulseAudio, or PipeWire through its PulseAudio server), in which the scheduled clicks
// sound at their exact frames.
//
// The stream has no prebuffer: if it ever runs dry (the program stalled longer than its
// buffer, kBuffered) the server plays silence and goes on counting frames, so the
// samples that come too late are lost and every later frame still sounds at its own time.
//
// Its connection, its stream and the timers that watch them live on libpulse's threaded
// main loop, whose thread runs at real-time priority and renders the samples straight
// into the buffers the server asks to fill. Every function is called from the
// user-interface thread and holds the loop's lock only briefly; the signals arrive there.
// Nothing here blocks the caller for long, aborts or throws: without a sound server, or
// when the stream fails or the server goes away, the output reports it once and keeps
// trying to open a stream again, about once a second, until it succeeds or is closed.
class AudioOutput : public QObject {
    Q_OBJECT

public:
    struct ClickCounters {
        std::uint64_t started = 0;
        std::uint64_t late = 0;     // started up to 20 ms after their frame
        std::uint64_t dropped = 0;  // given up: published when their frame was long past
    };

    // The most of the stream written ahead of what is heard, the device's own latency
    // included (unless the output holds more than that: see framesWritten).
    static constexpr std::chrono::milliseconds kBuffered{140};

    explicit AudioOutput(QObject* parent = nullptr);
    ~AudioOutput() override;  // closes the stream and ends the loop's thread

    // Opens the stream (asynchronously); streamStarted or streamUnavailable follows.
    // Does nothing while open.
    void open();
    // Closes the stream: afterwards no connection is open and no retry is due.
    void close();
    bool isOpen() const;

    // The clicks to play, in frames of the stream named by playedPosition().stream.
    // Cleared when a stream starts, just before streamStarted: publish the clicks anew
    // in the new stream's frames. A click published for a frame the stream has already
    // written (see framesWritten) starts late or not at all.
    ClickSchedule& schedule();

    // The played position at the server's latest timing report (one about every 250 ms:
    // see HeardClock); lock-free. Between two, the stream plays on at its nominal rate.
    // Not valid while no stream plays. One sample is within about 3 ms of what is
    // heard; the frame-0 position of streamStarted is steadier, but a sound card's clock
    // drifts from the steady clock by some parts per million, so long runs follow
    // these samples rather than extrapolate from frame 0.
    PlayedPosition playedPosition() const;

    // Frames of the current stream handed to the sound server so far: up to kBuffered
    // ahead of the heard position, more on an output with a long latency of its own (a
    // wireless headset).
    std::int64_t framesWritten() const;

    // Clicks dealt with since construction, over all streams; for measurements.
    ClickCounters clickCounters() const;

    // Times the server found the stream empty since construction, over all streams (the
    // program stalled, or the server was late asking for more); for measurements. Each
    // one loses sound, never time.
    std::uint64_t underflows() const;

signals:
    // A stream is playing; its frame 0 was heard at about `position.at`.
    void streamStarted(tavro::audio::PlayedPosition position);
    // The playing stream was moved to another output. It plays on in the same frames
    // and its heard position goes on, but the new output may hold more of it: see
    // framesWritten.
    void streamMoved();
    // No stream could be opened, or the playing one failed; `reason` is for the user.
    // Once per outage, not for every retry.
    void streamUnavailable(QString reason);

private:
    // On the loop's thread, or under the loop's lock.
    void attempt();
    void connectStream();
    void write(std::size_t bytes);
    void render(std::int16_t* out, int frames);
    void watch();
    bool takeTimingReport();
    void publishPosition(std::chrono::steady_clock::time_point now);
    void fail(const char* reason);
    void endConnection();
    void arm(pa_time_event* timer, std::chrono::microseconds delay);
    void disarm(pa_time_event* timer);

    // On the user-interface thread.
    void onStarted(quint64 session, const PlayedPosition& frameZero);
    void onMoved(quint64 session);
    void onUnavailable(quint64 session, const QString& reason);

    // The user-interface thread's own.
    bool open_ = false;
    quint64 session_ = 0;  // counts open() and close(): news of an older one is stale

    // Shared without locks.
    ClickSchedule schedule_;
    // The stream whose frames the schedule's clicks are in (0: none yet). Set by the
    // user-interface thread after clearing the schedule for a new stream; until then
    // the new stream plays silence.
    std::atomic<std::uint64_t> scheduleStream_{0};
    Seqlock<PlayedPosition> position_;  // written under the loop's lock
    std::atomic<std::int64_t> framesWritten_{0};
    std::atomic<std::uint64_t> underflows_{0};
    ClickRenderer renderer_{schedule_};  // its counters; the rest is the loop thread's

    // The loop's: touched on its thread, or elsewhere only under its lock.
    pa_threaded_mainloop* loop_ = nullptr;
    pa_time_event* retryTimer_ = nullptr;
    pa_time_event* watchTimer_ = nullptr;
    pa_context* context_ = nullptr;  // the connection being made or in use
    pa_stream* stream_ = nullptr;
    bool wanted_ = false;      // open, so a lost stream is opened again
    quint64 loopSession_ = 0;  // the open() that news belongs to
    bool outageReported_ = false;
    bool raised_ = false;           // the loop's thread runs at real-time priority
    bool failed_ = false;           // the connection or the stream has failed
    bool connected_ = false;        // the server accepted the connection
    bool heard_ = false;            // the stream has played its first frames
    std::uint64_t streams_ = 0;     // streams begun so far; the latest one's id
    std::int64_t written_ = 0;      // frames of the stream rendered so far
    std::int64_t heardFrames_ = 0;  // the most the server has reported heard
    HeardClock heardClock_;
    std::uint64_t reportStamp_ = 0;  // when the latest timing report was taken
    std::chrono::steady_clock::time_point attemptAt_{};
    std::chrono::steady_clock::time_point progressAt_{};
    std::array<std::int16_t, 960> scratch_{};  // when libpulse lends no buffer to fill
};

}  // namespace tavro::audio

Q_DECLARE_METATYPE(tavro::audio::PlayedPosition)
