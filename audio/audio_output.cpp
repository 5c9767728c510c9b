#include "audio/audio_output.h"

#include "audio/pipewire_route.h"
#include "audio/pulse_route.h"

#include <chrono>

namespace tavro::audio {

namespace {
constexpr std::chrono::milliseconds kRetryInterval{1000};
}

AudioOutput::AudioOutput(QObject* parent)
    : QObject(parent),
      pipewire_(std::make_unique<PipeWireRoute>(feed_, static_cast<RouteListener&>(*this))),
      pulse_(std::make_unique<PulseRoute>(feed_, static_cast<RouteListener&>(*this)))
{
    qRegisterMetaType<tavro::audio::PlayedPosition>();
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryInterval);
    connect(&retry_, &QTimer::timeout, this, [this] { attempt(); });
}

// The routes end their threads before the feed they write into goes.
AudioOutput::~AudioOutput()
{
    close();
    pipewire_.reset();
    pulse_.reset();
}

void AudioOutput::open()
{
    if (open_)
        return;
    open_ = true;
    outageReported_ = false;
    attempt();
}

void AudioOutput::close()
{
    if (!open_)
        return;
    open_ = false;
    ++attempt_;
    retry_.stop();
    feed_.silence();
    if (trying_)
        trying_->end();
    trying_ = nullptr;
    route_ = Route::None;
}

bool AudioOutput::isOpen() const { return open_; }

ClickSchedule& AudioOutput::schedule() { return feed_.schedule(); }

PlayedPosition AudioOutput::playedPosition() const
{
    return open_ ? feed_.playedPosition() : PlayedPosition{};
}

std::int64_t AudioOutput::framesWritten() const { return feed_.framesWritten(); }

std::int64_t AudioOutput::framesDue() const { return feed_.framesDue(); }

AudioOutput::Route AudioOutput::route() const { return route_; }

AudioOutput::ClickCounters AudioOutput::clickCounters() const { return feed_.clickCounters(); }

std::uint64_t AudioOutput::underflows() const { return feed_.underflows(); }

// Native PipeWire first: it says itself when it does not play the session's sound.
void AudioOutput::attempt()
{
    trying_ = pipewire_.get();
    trying_->begin(++attempt_);
}

bool AudioOutput::current(std::uint64_t attempt) const { return open_ && attempt == attempt_; }

void AudioOutput::routeStarted(std::uint64_t attempt, PlayedPosition frameZero)
{
    QMetaObject::invokeMethod(
        this, [this, attempt, frameZero] { if (current(attempt)) onStarted(frameZero); },
        Qt::QueuedConnection);
}

void AudioOutput::routeMoved(std::uint64_t attempt)
{
    QMetaObject::invokeMethod(
        this, [this, attempt] { if (current(attempt)) emit streamMoved(); },
        Qt::QueuedConnection);
}

void AudioOutput::routeAbsent(std::uint64_t attempt, bool withoutDevices)
{
    QMetaObject::invokeMethod(
        this, [this, attempt, withoutDevices] { if (current(attempt)) onAbsent(withoutDevices); },
        Qt::QueuedConnection);
}

void AudioOutput::routeFailed(std::uint64_t attempt, const char* reason)
{
    QMetaObject::invokeMethod(
        this,
        [this, attempt, reason] {
            if (current(attempt))
                onFailed(QString::fromLatin1(reason));
        },
        Qt::QueuedConnection);
}

void AudioOutput::onStarted(const PlayedPosition& frameZero)
{
    outageReported_ = false;
    route_ = trying_ == pipewire_.get() ? Route::PipeWire : Route::PulseAudio;
    // The new stream counts from 0: clicks left in the old stream's frames must not
    // sound in it. It stays silent until it is named here.
    feed_.takeStream(frameZero.stream);
    emit streamStarted(frameZero);
}

void AudioOutput::onAbsent(bool withoutDevices)
{
    if (trying_ == pipewire_.get()) {
        trying_ = pulse_.get();
        if (withoutDevices)
            pulse_->beginBesideSilentPipeWire(attempt_);
        else
            pulse_->begin(attempt_);
        return;
    }
    onFailed(QString::fromLatin1(withoutDevices ? route::kDoesNotPlay : route::kNoServer));
}

void AudioOutput::onFailed(const QString& reason)
{
    feed_.silence();
    trying_->end();
    trying_ = nullptr;
    route_ = Route::None;
    if (!outageReported_) {
        outageReported_ = true;
        emit streamUnavailable(reason);
    }
    retry_.start();
}

}  // namespace tavro::audio
