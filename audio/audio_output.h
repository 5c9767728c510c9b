#pragma once

#include "audio/click_schedule.h"
#include "audio/played_position.h"
#include "audio/route_mailbox.h"
#include "audio/sound_route.h"
#include "audio/stream_feed.h"

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace tavro::audio {

// The sound output: one mono 16-bit 48 kHz stream to the desktop's sound server, in which
// the scheduled clicks sound at their exact frames. Where PipeWire plays the session's
// sound the stream is PipeWire's own, placed on the graph's clock; where a PulseAudio
// server does (or PipeWire's, when its native stream cannot be had), it is a libpulse
// stream. Each attempt takes the first route that answers, in that order (the table in
// audio_output.cpp).
//
// Every function is called from the user-interface thread and returns at once; the
// signals arrive there. Nothing here aborts or throws: without a sound server, or when the
// stream fails or the server goes away, the output reports it once and keeps trying to
// open a stream again, about once a second, until it succeeds or is closed.
class AudioOutput : public QObject, private RouteListener {
    Q_OBJECT

public:
    using ClickCounters = StreamFeed::ClickCounters;
    enum class Route { None, PipeWire, PulseAudio };

    explicit AudioOutput(QObject* parent = nullptr);
    ~AudioOutput() override;  // closes the stream and ends the routes' threads

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

    // The played position at the server's latest timing report (PipeWire: its latest
    // graph cycle, looked at four times a second; PulseAudio: about every 250 ms, see
    // HeardClock); lock-free. Between two, the stream plays on at its nominal rate. Not
    // valid while no stream plays. A sound card's clock drifts from the steady clock by
    // some parts per million, so long runs follow these samples rather than extrapolate
    // from frame 0.
    PlayedPosition playedPosition() const;

    // Frames of the current stream handed to the sound server so far: ahead of the heard
    // position by what the server and the output hold (more on an output with a long
    // latency of its own: a wireless headset).
    std::int64_t framesWritten() const;
    // What the stream will have written before a click published now can be seen: the
    // frames written, and on PipeWire the coming cycle's, which is written whole at the
    // cycle's start. A beat is counted at least that far ahead of being heard.
    std::int64_t framesDue() const;

    // The route of the stream that plays (None while none does).
    Route route() const;

    // Clicks dealt with since construction, over all streams; for measurements.
    ClickCounters clickCounters() const;

    // Since construction, over all streams, for measurements: the times the server found
    // the stream empty (PulseAudio) or passed it by for a cycle (PipeWire): the program
    // stalled, or the server was late. Each one loses sound, never time.
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
    struct RouteEntry {
        Route name;
        std::unique_ptr<SoundRoute> route;
    };

    // From a route's thread, maybe a real-time one: into the mailbox, and a wake-up of
    // the user-interface thread (a write to an eventfd: no lock, no allocation).
    void routeStarted(std::uint64_t attempt, PlayedPosition frameZero) override;
    void routeMoved(std::uint64_t attempt) override;
    void routeAbsent(std::uint64_t attempt, Absence why) override;
    void routeFailed(std::uint64_t attempt, const char* reason) override;
    void post(const RouteNews& news);

    // On the user-interface thread.
    void takeNews();
    void attempt();
    bool current(std::uint64_t attempt) const;
    void onStarted(const PlayedPosition& frameZero);
    void onAbsent(Absence why);
    void onFailed(const QString& reason);

    StreamFeed feed_;
    RouteMailbox mailbox_;
    int wakeFd_ = -1;
    QSocketNotifier* wake_ = nullptr;
    std::vector<RouteEntry> routes_;  // in the order they are tried
    std::size_t trying_ = 0;          // the route begun for the current attempt
    bool begun_ = false;              // ... while one is
    EarlierRoutes earlier_;           // what the routes before it found
    Route route_ = Route::None;
    bool open_ = false;
    bool outageReported_ = false;
    // Counts attempts, open() and close(): news of an older attempt is stale.
    std::uint64_t attempt_ = 0;
    QTimer retry_;
};

}  // namespace tavro::audio

Q_DECLARE_METATYPE(tavro::audio::PlayedPosition)
