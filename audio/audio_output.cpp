#include "audio/audio_output.h"

#include "audio/realtime_thread.h"
#include "audio/stream_keeper.h"

#include <QDeadlineTimer>
#include <QThread>
#include <QtDebug>

namespace tavro::audio {

namespace {
// Closing a stream takes a few milliseconds; only a sound server that hangs inside
// libpulse could hold the audio thread longer.
constexpr int kShutdownWaitMs = 2000;
}

// The audio thread and what runs on it.
class AudioOutput::Worker {
public:
    explicit Worker(StreamRoute preferred) : keeper(new StreamKeeper(shared, preferred)) {}

    std::shared_ptr<OutputShared> shared = std::make_shared<OutputShared>();
    QThread* thread = new QThread;
    StreamKeeper* keeper;
};

AudioOutput::AudioOutput(StreamRoute preferred, QObject* parent)
    : QObject(parent), worker_(std::make_unique<Worker>(preferred))
{
    qRegisterMetaType<tavro::audio::PlayedPosition>();
    QThread* thread = worker_->thread;
    StreamKeeper* keeper = worker_->keeper;
    thread->setObjectName(QStringLiteral("tavro-audio"));
    keeper->moveToThread(thread);
    connect(thread, &QThread::started, keeper,
            [shared = worker_->shared] { shared->realtime = raiseCurrentThreadToRealtime(); });
    connect(thread, &QThread::finished, keeper, &QObject::deleteLater);
    connect(keeper, &StreamKeeper::started, this, &AudioOutput::onStarted, Qt::QueuedConnection);
    connect(keeper, &StreamKeeper::unavailable, this, &AudioOutput::onUnavailable,
            Qt::QueuedConnection);
    thread->start(QThread::TimeCriticalPriority);
}

AudioOutput::~AudioOutput()
{
    QThread* thread = worker_->thread;
    StreamKeeper* keeper = worker_->keeper;
    disconnect(keeper, nullptr, this, nullptr);
    QMetaObject::invokeMethod(keeper, [keeper, thread] {
        keeper->close();
        thread->quit();
    }, Qt::QueuedConnection);
    if (thread->wait(QDeadlineTimer(kShutdownWaitMs))) {
        delete thread;  // the keeper went with the thread's last events
        return;
    }
    // Stuck inside the sound library: leave the thread to the end of the process rather
    // than block the caller. It holds its own share of the state it uses.
    qWarning("tavro-audio: the audio thread did not end; leaving it behind");
    worker_->thread = nullptr;
    worker_->keeper = nullptr;
}

void AudioOutput::open()
{
    if (open_)
        return;
    open_ = true;
    const quint64 session = ++session_;
    StreamKeeper* keeper = worker_->keeper;
    QMetaObject::invokeMethod(keeper, [keeper, session] { keeper->open(session); },
                              Qt::QueuedConnection);
}

void AudioOutput::close()
{
    if (!open_)
        return;
    open_ = false;
    ++session_;
    worker_->shared->scheduleStream.store(0, std::memory_order_release);
    StreamKeeper* keeper = worker_->keeper;
    QMetaObject::invokeMethod(keeper, [keeper] { keeper->close(); }, Qt::QueuedConnection);
}

bool AudioOutput::isOpen() const
{
    return open_;
}

ClickSchedule& AudioOutput::schedule()
{
    return worker_->shared->schedule;
}

PlayedPosition AudioOutput::playedPosition() const
{
    if (!open_)
        return {};
    return worker_->shared->position.read();
}

std::int64_t AudioOutput::framesWritten() const
{
    return worker_->shared->framesWritten.load(std::memory_order_relaxed);
}

AudioOutput::ClickCounters AudioOutput::clickCounters() const
{
    const OutputShared& shared = *worker_->shared;
    return {shared.clicksStarted.load(std::memory_order_relaxed),
            shared.clicksLate.load(std::memory_order_relaxed),
            shared.clicksDropped.load(std::memory_order_relaxed)};
}

bool AudioOutput::realtimeScheduling() const
{
    return worker_->shared->realtime.load();
}

void AudioOutput::onStarted(quint64 session, const PlayedPosition& frameZero)
{
    if (session != session_ || !open_)
        return;  // a stream of an open() since closed
    // The new stream counts from 0: clicks left in the old stream's frames must not
    // sound in it. The generator stays silent until the stream is named here.
    worker_->shared->schedule.publish(nullptr, 0);
    worker_->shared->scheduleStream.store(frameZero.stream, std::memory_order_release);
    emit streamStarted(frameZero);
}

void AudioOutput::onUnavailable(quint64 session, const QString& reason)
{
    if (session != session_ || !open_)
        return;
    emit streamUnavailable(reason);
}

}  // namespace tavro::audio
