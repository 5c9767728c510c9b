#pragma once

#include "audio/click_schedule.h"
#include "audio/played_position.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace tavro::audio {

class OutputStream;
enum class StreamRoute;

// What the user-interface thread and the audio thread share, all lock-free. Held by
// both sides, so neither outlives it.
struct OutputShared {
    ClickSchedule schedule;
    // The stream whose frames the schedule's clicks are in (0: none yet). Set by the
    // user-interface thread after clearing the schedule for a new stream.
    std::atomic<std::uint64_t> scheduleStream{0};
    PlayedPositionBoard position;
    std::atomic<std::int64_t> framesWritten{0};
    std::atomic<std::uint64_t> clicksStarted{0};
    std::atomic<std::uint64_t> clicksLate{0};
    std::atomic<std::uint64_t> clicksDropped{0};
    std::atomic<bool> realtime{false};
};

// Lives on the audio thread and keeps a stream playing while one is wanted: opens the
// stream, samples the played position, notices a failed or silent stream and opens a new
// one about once a second until it plays. Every signal names the session (one open()
// of the owner) it belongs to, so the owner can drop news of a session it has ended.
//
// Each attempt tries the preferred route, then the other. Qt 6.4's PulseAudio backend
// holds one connection to the server for the whole process: when the server goes away,
// the sink stops with FatalError and the connection tries once more, about 3 s later;
// if the server is not back by then, every later sink of the process stops with
// FatalError at once (the device list still names the lost sink). So once a server
// answers but Qt's sink does not start, Qt is not asked again in that session. A
// connection that failed at its first try is never tried again either, hence the probe
// before Qt is first asked.
class StreamKeeper : public QObject {
    Q_OBJECT

public:
    StreamKeeper(std::shared_ptr<OutputShared> shared, StreamRoute preferred);
    ~StreamKeeper() override;

    void open(quint64 session);
    void close();

signals:
    void started(quint64 session, tavro::audio::PlayedPosition frameZero);
    void unavailable(quint64 session, QString reason);

private:
    void attempt();
    std::unique_ptr<OutputStream> startQtSink(std::uint64_t stream);
    std::unique_ptr<OutputStream> startPulseStream(std::uint64_t stream);
    void sample();
    void fail(const QString& reason);
    void endStream();
    void publishCounters();

    std::shared_ptr<OutputShared> shared_;
    QTimer retryTimer_;
    QTimer sampleTimer_;
    std::unique_ptr<OutputStream> stream_;

    bool wanted_ = false;
    quint64 session_ = 0;
    bool outageReported_ = false;
    StreamRoute preferred_;
    bool qtCannotPlay_ = false;  // Qt's connection is lost for this session
    std::uint64_t streams_ = 0;  // streams begun so far; the latest one's id
    bool heard_ = false;          // the current stream has played its first frames
    std::chrono::steady_clock::time_point openedAt_{};
    std::chrono::steady_clock::time_point progressAt_{};
    std::int64_t heardFrames_ = 0;
    // Click counters of the streams already ended.
    std::uint64_t endedStarted_ = 0;
    std::uint64_t endedLate_ = 0;
    std::uint64_t endedDropped_ = 0;
};

}  // namespace tavro::audio
