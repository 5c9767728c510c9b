#include "audio/audio_output.h"

#include "audio/pipewire_route.h"
#include "audio/pulse_route.h"

#include <QSocketNotifier>

#include <chrono>

#include <sys/eventfd.h>
#include <unistd.h>

namespace tavro::audio {

namespace {
constexpr std::chrono::milliseconds kRetryInterval{1000};
}

AudioOutput::AudioOutput(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<tavro::audio::PlayedPosition>();
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ >= 0) {
        wake_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
        connect(wake_, &QSocketNotifier::activated, this, [this] { takeNews(); });
    }
    // The routes, in the order they are tried. Native PipeWire first: it says itself
    // when it does not play the session's sound, and then a PulseAudio server may.
    auto& listener = static_cast<RouteListener&>(*this);
    routes_.push_back({Route::PipeWire, std::make_unique<PipeWireRoute>(feed_, listener)});
    routes_.push_back({Route::PulseAudio, std::make_unique<PulseRoute>(feed_, listener)});
    retry_.setSingleShot(true);
    retry_.setInterval(kRetryInterval);
    connect(&retry_, &QTimer::timeout, this, [this] { attempt(); });
}

// The routes end their threads before the feed they write into and the mailbox go.
AudioOutput::~AudioOutput()
{
    close();
    routes_.clear();
    delete wake_;
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
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
    if (begun_)
        routes_[trying_].route->end();
    begun_ = false;
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

void AudioOutput::attempt()
{
    trying_ = 0;
    begun_ = true;
    earlier_ = {};
    routes_[trying_].route->begin(++attempt_, earlier_);
}

bool AudioOutput::current(std::uint64_t attempt) const
{
    return open_ && begun_ && attempt == attempt_;
}

void AudioOutput::routeStarted(std::uint64_t attempt, PlayedPosition frameZero)
{
    post({RouteNews::Kind::Started, attempt, frameZero, {}, nullptr});
}

void AudioOutput::routeMoved(std::uint64_t attempt)
{
    post({RouteNews::Kind::Moved, attempt, {}, {}, nullptr});
}

void AudioOutput::routeAbsent(std::uint64_t attempt, Absence why)
{
    post({RouteNews::Kind::Absent, attempt, {}, why, nullptr});
}

void AudioOutput::routeFailed(std::uint64_t attempt, const char* reason)
{
    post({RouteNews::Kind::Failed, attempt, {}, {}, reason});
}

// A full mailbox (never seen: a few news an attempt) loses the news; the watchdog of the
// route that sent it has already ended its connection, and the next attempt starts anew
// once the user presses START again.
void AudioOutput::post(const RouteNews& news)
{
    mailbox_.post(news);
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
    }
}

void AudioOutput::takeNews()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &count, sizeof count);
    RouteNews news;
    while (mailbox_.take(news)) {
        if (!current(news.attempt))
            continue;
        switch (news.kind) {
        case RouteNews::Kind::Started: onStarted(news.frameZero); break;
        case RouteNews::Kind::Moved: emit streamMoved(); break;
        case RouteNews::Kind::Absent: onAbsent(news.absence); break;
        case RouteNews::Kind::Failed: onFailed(QString::fromLatin1(news.reason)); break;
        }
    }
}

void AudioOutput::onStarted(const PlayedPosition& frameZero)
{
    outageReported_ = false;
    route_ = routes_[trying_].name;
    // The new stream counts from 0: clicks left in the old stream's frames must not
    // sound in it. It stays silent until it is named here.
    feed_.takeStream(frameZero.stream);
    emit streamStarted(frameZero);
}

// The next route is told what this one found; after the last, the outage is the last
// one's.
void AudioOutput::onAbsent(Absence why)
{
    if (why == Absence::NoDevices)
        earlier_.answeredWithoutDevices = true;
    if (trying_ + 1 < routes_.size()) {
        routes_[++trying_].route->begin(attempt_, earlier_);
        return;
    }
    onFailed(QString::fromLatin1(why == Absence::NoServer ? route::kNoServer
                                                          : route::kDoesNotPlay));
}

void AudioOutput::onFailed(const QString& reason)
{
    feed_.silence();
    routes_[trying_].route->end();
    begun_ = false;
    route_ = Route::None;
    if (!outageReported_) {
        outageReported_ = true;
        emit streamUnavailable(reason);
    }
    retry_.start();
}

}  // namespace tavro::audio
