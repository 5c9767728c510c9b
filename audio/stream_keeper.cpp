#include "audio/stream_keeper.h"

#include "audio/pulse_stream.h"
#include "audio/qt_sink_stream.h"
#include "audio/sound_server_probe.h"

#include <QMediaDevices>
#include <QtDebug>

namespace tavro::audio {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kRetryInterval = 1000ms;
constexpr auto kSampleInterval = 10ms;
constexpr auto kProbeTimeout = 300ms;
// A stream whose heard position does not move for this long has failed silently.
constexpr auto kSilenceLimit = 3s;
// A stream counts as started once this much of it has been heard: a server may play
// the first few blocks and then hold the stream back while its device catches up (a
// null sink that had rendered ahead does so for up to 2 s), which would put frame 0
// of the first estimate too early.
constexpr std::int64_t kSteadyFrames = 100 * kFramesPerMillisecond;

}  // namespace

StreamKeeper::StreamKeeper(std::shared_ptr<OutputShared> shared, StreamRoute preferred)
    : shared_(std::move(shared)), retryTimer_(this), sampleTimer_(this), preferred_(preferred)
{
    retryTimer_.setSingleShot(true);
    retryTimer_.setInterval(kRetryInterval);
    connect(&retryTimer_, &QTimer::timeout, this, &StreamKeeper::attempt);
    sampleTimer_.setTimerType(Qt::PreciseTimer);
    sampleTimer_.setInterval(kSampleInterval);
    connect(&sampleTimer_, &QTimer::timeout, this, &StreamKeeper::sample);
}

StreamKeeper::~StreamKeeper()
{
    close();
}

void StreamKeeper::open(quint64 session)
{
    endStream();
    wanted_ = true;
    session_ = session;
    outageReported_ = false;
    qtCannotPlay_ = false;
    attempt();
}

void StreamKeeper::close()
{
    wanted_ = false;
    retryTimer_.stop();
    endStream();
}

void StreamKeeper::attempt()
{
    if (!wanted_ || stream_)
        return;
    // Qt is asked for a device only once a server answers: see soundServerReachable.
    if (!soundServerReachable(kProbeTimeout))
        return fail(QStringLiteral("No sound server is running."));
    const std::uint64_t stream = streams_ + 1;
    const StreamRoute other =
        preferred_ == StreamRoute::Direct ? StreamRoute::QtSink : StreamRoute::Direct;
    for (const StreamRoute route : {preferred_, other}) {
        stream_ = route == StreamRoute::Direct ? startPulseStream(stream) : startQtSink(stream);
        if (stream_)
            break;
    }
    if (!stream_)
        return fail(QStringLiteral("The sound output could not be opened."));

    streams_ = stream;
    heard_ = false;
    heardFrames_ = 0;
    openedAt_ = Clock::now();
    sampleTimer_.start();
}

std::unique_ptr<OutputStream> StreamKeeper::startQtSink(std::uint64_t stream)
{
    if (qtCannotPlay_)
        return nullptr;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    auto sink = std::make_unique<QtSinkStream>(shared_->schedule, shared_->scheduleStream, stream);
    if (device.isNull() || !sink->start(device)) {
        // A server answers, so it is Qt's connection to it that is lost.
        qtCannotPlay_ = true;
        qInfo("tavro-audio: Qt cannot open a sound stream");
        return nullptr;
    }
    return sink;
}

std::unique_ptr<OutputStream> StreamKeeper::startPulseStream(std::uint64_t stream)
{
    auto direct = std::make_unique<PulseStream>(shared_->schedule, shared_->scheduleStream, stream);
    if (!direct->start())
        return nullptr;
    return direct;
}

void StreamKeeper::sample()
{
    if (!stream_)
        return;
    if (stream_->failed())
        return fail(heard_ ? QStringLiteral("The sound server went away.")
                           : QStringLiteral("The sound output could not be opened."));
    const std::optional<std::int64_t> micros = stream_->heardMicros();
    const Clock::time_point now = Clock::now();
    const std::int64_t frames = micros.value_or(0) * kSampleRate / 1'000'000;
    shared_->framesWritten.store(stream_->source().framesWritten(), std::memory_order_relaxed);
    publishCounters();

    if (frames > heardFrames_) {
        heardFrames_ = frames;
        progressAt_ = now;
        if (!heard_ && frames >= kSteadyFrames) {
            heard_ = true;
            outageReported_ = false;
            emit started(session_,
                         {true, streams_, 0, now - std::chrono::microseconds(*micros)});
        }
        if (heard_)
            shared_->position.publish({true, streams_, frames, now});
    } else if (now - (heard_ ? progressAt_ : openedAt_) > kSilenceLimit) {
        fail(heard_ ? QStringLiteral("The sound output stopped playing.")
                    : QStringLiteral("The sound output does not play."));
    }
}

void StreamKeeper::fail(const QString& reason)
{
    endStream();
    if (!outageReported_) {
        outageReported_ = true;
        emit unavailable(session_, reason);
    }
    if (wanted_)
        retryTimer_.start();
}

void StreamKeeper::endStream()
{
    sampleTimer_.stop();
    if (stream_) {
        publishCounters();
        const ClickRenderer& renderer = stream_->source().renderer();
        endedStarted_ += renderer.clicksStarted();
        endedLate_ += renderer.clicksLate();
        endedDropped_ += renderer.clicksDropped();
        stream_.reset();
    }
    shared_->framesWritten.store(0, std::memory_order_relaxed);
    shared_->position.publish({});
}

void StreamKeeper::publishCounters()
{
    std::uint64_t started = endedStarted_, late = endedLate_, dropped = endedDropped_;
    if (stream_) {
        const ClickRenderer& renderer = stream_->source().renderer();
        started += renderer.clicksStarted();
        late += renderer.clicksLate();
        dropped += renderer.clicksDropped();
    }
    shared_->clicksStarted.store(started, std::memory_order_relaxed);
    shared_->clicksLate.store(late, std::memory_order_relaxed);
    shared_->clicksDropped.store(dropped, std::memory_order_relaxed);
}

}  // namespace tavro::audio
