#pragma once

#include "audio/click_schedule.h"
#include "audio/output_stream.h"
#include "audio/played_position.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

namespace tavro::audio {

// The sound output: one mono 16-bit 48 kHz stream through the desktop's sound server,
// pulled by a generator that writes the scheduled clicks at their exact frames. The
// stream and the generator live on a thread of their own at time-critical priority,
// never on the user-interface thread.
//
// Every function is called from the user-interface thread; the signals arrive there.
// Nothing here blocks the caller for long, aborts or throws: without a sound server,
// or when the stream fails or the server goes away, the output reports it once and
// keeps trying to open a stream again in the background, about once a second, until
// it succeeds or is closed.
class AudioOutput : public QObject {
    Q_OBJECT

public:
    struct ClickCounters {
        std::uint64_t started = 0;
        std::uint64_t late = 0;     // started up to 20 ms after their frame
        std::uint64_t dropped = 0;  // given up: published when their frame was long past
    };

    // `preferred`: the way streams are tried first (the other one follows if it fails).
    explicit AudioOutput(StreamRoute preferred = StreamRoute::Direct, QObject* parent = nullptr);
    ~AudioOutput() override;  // closes the stream and ends the thread

    // Opens the stream (asynchronously); streamStarted or streamUnavailable follows.
    // Does nothing while open.
    void open();
    // Closes the stream: afterwards no stream is open and the thread is idle.
    void close();
    bool isOpen() const;

    // The clicks to play, in frames of the stream named by playedPosition().stream.
    // Cleared when a stream starts, just before streamStarted: publish the clicks anew
    // in the new stream's frames. A click published for a frame the stream has already
    // written (see framesWritten) starts late or not at all.
    ClickSchedule& schedule();

    // The latest sample of the played position (taken every 10 ms); lock-free.
    // Not valid while no stream plays. One sample is within about 3 ms of what is
    // heard; the frame-0 position of streamStarted is steadier, but a sound card's clock
    // drifts from the steady clock by some parts per million, so long runs follow
    // these samples rather than extrapolate from frame 0.
    PlayedPosition playedPosition() const;

    // Frames of the current stream handed to the sound server so far (sampled every
    // 10 ms): tens of milliseconds ahead of the heard position (at most the 60 ms
    // buffer plus the device's own latency).
    std::int64_t framesWritten() const;

    // Clicks dealt with since construction, over all streams; for measurements.
    ClickCounters clickCounters() const;

    // Whether the audio thread runs in the real-time scheduling class (the process may
    // not be permitted to ask for it).
    bool realtimeScheduling() const;

signals:
    // A stream is playing; its frame 0 was heard at about `position.at`.
    void streamStarted(tavro::audio::PlayedPosition position);
    // No stream could be opened, or the playing one failed; `reason` is for the user.
    // Once per outage, not for every retry.
    void streamUnavailable(QString reason);

private:
    void onStarted(quint64 session, const PlayedPosition& frameZero);
    void onUnavailable(quint64 session, const QString& reason);

    class Worker;
    std::unique_ptr<Worker> worker_;
    bool open_ = false;
    quint64 session_ = 0;  // counts open() and close(): news of an older one is stale
};

}  // namespace tavro::audio

Q_DECLARE_METATYPE(tavro::audio::PlayedPosition)
