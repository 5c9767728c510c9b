#include "audio/stream_keeper.h"

#include "audio/click_generator.h"
#include "audio/sound_server_probe.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QMediaDevices>

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
// About 60 ms: Qt 6.4 pulls 20 ms at a time; below 45 ms its PulseAudio stream falls
// silent for good without an error, and libpulse aborts at exit.
constexpr qsizetype kBufferBytes = 60 * kFramesPerMillisecond * sizeof(std::int16_t);

QAudioFormat streamFormat()
{
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

}  // namespace

StreamKeeper::StreamKeeper(std::shared_ptr<OutputShared> shared)
    : shared_(std::move(shared)), retryTimer_(this), sampleTimer_(this)
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
    if (!wanted_ || sink_)
        return;
    // Qt is asked for a device only once a server answers: see soundServerReachable.
    if (!soundServerReachable(kProbeTimeout))
        return fail(QStringLiteral("No sound server is running."));
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return fail(QStringLiteral("The sound server has no output device."));

    const std::uint64_t stream = streams_ + 1;
    generator_ = std::make_unique<ClickGenerator>(shared_->schedule, shared_->scheduleStream,
                                                  stream);
    generator_->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    sink_ = std::make_unique<QAudioSink>(device, streamFormat());
    sink_->setBufferSize(kBufferBytes);
    sink_->start(generator_.get());
    if (sinkFailed())
        return fail(QStringLiteral("The sound output could not be opened."));

    streams_ = stream;
    heard_ = false;
    heardFrames_ = 0;
    openedAt_ = Clock::now();
    sampleTimer_.start();
}

// The played position comes from QAudioSink::processedUSecs(), which in Qt 6.4's
// PulseAudio backend is the stream time that libpulse reports: the frames the server
// has played out, less what still sits in the device's own buffer, updated smoothly
// between the server's timing reports. Measured on a null sink's monitor it matches
// the heard position to about 2 ms, while the frames handed to the sink run 15-40 ms
// ahead of it.
void StreamKeeper::sample()
{
    if (!sink_)
        return;
    if (sinkFailed())
        return fail(heard_ ? QStringLiteral("The sound server went away.")
                           : QStringLiteral("The sound output could not be opened."));
    const qint64 micros = sink_->processedUSecs();
    const Clock::time_point now = Clock::now();
    const std::int64_t frames = micros * kSampleRate / 1'000'000;
    shared_->framesWritten.store(generator_->framesWritten(), std::memory_order_relaxed);
    publishCounters();

    if (frames > heardFrames_) {
        heardFrames_ = frames;
        progressAt_ = now;
        if (!heard_ && frames >= kSteadyFrames) {
            heard_ = true;
            outageReported_ = false;
            emit started(session_, {true, streams_, 0, now - std::chrono::microseconds(micros)});
        }
        if (heard_)
            shared_->position.publish({true, streams_, frames, now});
    } else if (now - (heard_ ? progressAt_ : openedAt_) > kSilenceLimit) {
        fail(heard_ ? QStringLiteral("The sound output stopped playing.")
                    : QStringLiteral("The sound output does not play."));
    }
}

bool StreamKeeper::sinkFailed() const
{
    // An underrun only idles the sink until the next read; anything else that stops it
    // ends the stream.
    const QAudio::Error error = sink_->error();
    return sink_->state() == QAudio::StoppedState
        || (error != QAudio::NoError && error != QAudio::UnderrunError);
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
    if (generator_) {
        publishCounters();
        const ClickRenderer& renderer = generator_->renderer();
        endedStarted_ += renderer.clicksStarted();
        endedLate_ += renderer.clicksLate();
        endedDropped_ += renderer.clicksDropped();
    }
    if (sink_) {
        sink_->stop();
        sink_.reset();
    }
    generator_.reset();
    shared_->framesWritten.store(0, std::memory_order_relaxed);
    shared_->position.publish({});
}

void StreamKeeper::publishCounters()
{
    std::uint64_t started = endedStarted_, late = endedLate_, dropped = endedDropped_;
    if (generator_) {
        const ClickRenderer& renderer = generator_->renderer();
        started += renderer.clicksStarted();
        late += renderer.clicksLate();
        dropped += renderer.clicksDropped();
    }
    shared_->clicksStarted.store(started, std::memory_order_relaxed);
    shared_->clicksLate.store(late, std::memory_order_relaxed);
    shared_->clicksDropped.store(dropped, std::memory_order_relaxed);
}

}  // namespace tavro::audio
