#pragma once

#include "playback/audio_timeline.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

namespace tavro::audio {
class AudioOutput;
struct PlayedPosition;
}  // namespace tavro::audio

namespace tavro::playback {

// Sounds the clicks of the beats. With a sound stream, each click is written into the
// stream at the exact frame of its beat; without one (no sound server, or it went away)
// the system bell rings at the beat's time instead, until a stream is back.
//
// A stream is open only while a run exists (open() to close()).
class ClickPlayer : public QObject {
    Q_OBJECT

public:
    enum class Output { Stream, SystemBell };
    using time_point = AudioTimeline::time_point;

    ClickPlayer(Output output, AudioTimeline& timeline, std::function<void()> bell,
                QObject* parent = nullptr);
    ~ClickPlayer() override;

    void open();
    void close();

    // The click of a beat that has been counted: `beeps` beeps from `beat` on.
    void playBeat(time_point beat, int beeps);

    // What the coming beat will sound like unless a handler changes that before it is
    // counted. The stream places it ahead, so a click stays on its frame even when the
    // user interface is too busy to count the beat in time; counting it confirms it.
    void expectBeat(time_point beat, int beeps);

    // How long before it is heard each beat must be counted for its click to be written
    // into the stream in time: at least 70 ms, more when the output holds more of the
    // stream than that (a wireless headset adds 150 ms or more). It changes with the
    // output: see lookaheadChanged.
    std::chrono::milliseconds lookahead() const;

signals:
    // lookahead() may have changed: a stream started, went away or moved to another
    // output.
    void lookaheadChanged();
    // Sound went over to the system bell; `reason` says why, for the user.
    void fellBackToBell(QString reason);

private:
    struct Beat {
        time_point at{};
        int beeps = 0;
    };

    void streamStarted(const audio::PlayedPosition& position);
    void streamMoved();
    void streamUnavailable(const QString& reason);
    void publish();
    void ringBellAt(time_point beat, int beeps);

    Output output_;
    AudioTimeline& timeline_;
    std::function<void()> bell_;
    std::unique_ptr<audio::AudioOutput> audio_;
    bool open_ = false;
    bool streaming_ = false;
    bool unavailable_ = false;  // the output said no stream can be had for now
    Beat played_;
    Beat expected_;
};

}  // namespace tavro::playback
