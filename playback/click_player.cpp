#include "playback/click_player.h"

#include "audio/audio_output.h"
#include "audio/frame_time.h"
#include "playback/run_at.h"

#include <QTimer>

#include <algorithm>
#include <array>

namespace tavro::playback {

namespace {

using std::chrono::milliseconds;

// Once a stream plays, each beat is counted as far ahead as the stream is due to be
// written before it could see the click (AudioOutput::framesDue), plus a
// margin: the user interface takes a moment to count a beat and publish its click.
constexpr milliseconds kShortestLookahead{70};
constexpr milliseconds kLookaheadMargin{30};
// A moved stream is filled up to the new output's latency within a few requests.
constexpr milliseconds kMoveSettles{100};

}  // namespace

ClickPlayer::ClickPlayer(Output output, AudioTimeline& timeline, std::function<void()> bell,
                         QObject* parent)
    : QObject(parent),
      output_(output),
      timeline_(timeline),
      bell_(std::move(bell))
{
    if (output_ == Output::SystemBell)
        return;
    audio_ = std::make_unique<audio::AudioOutput>();
    connect(audio_.get(), &audio::AudioOutput::streamStarted, this,
            [this](const audio::PlayedPosition& position) { streamStarted(position); });
    connect(audio_.get(), &audio::AudioOutput::streamMoved, this, [this] { streamMoved(); });
    connect(audio_.get(), &audio::AudioOutput::streamUnavailable, this,
            [this](const QString& reason) { streamUnavailable(reason); });
}

ClickPlayer::~ClickPlayer() = default;

void ClickPlayer::open()
{
    if (open_ || !audio_)
        return;
    open_ = true;
    unavailable_ = false;
    audio_->open();
}

void ClickPlayer::close()
{
    if (!open_)
        return;
    open_ = false;
    streaming_ = false;
    unavailable_ = false;
    audio_->close();
    timeline_.followSteady();
    emit lookaheadChanged();
}

void ClickPlayer::playBeat(time_point beat, int beeps)
{
    played_ = {beat, beeps};
    if (streaming_) {
        publish();
        return;
    }
    // While a stream is being opened the beat stays silent rather than ring the bell
    // just before the sound starts.
    if (output_ == Output::SystemBell || unavailable_ || !open_)
        ringBellAt(beat, beeps);
}

void ClickPlayer::expectBeat(time_point beat, int beeps)
{
    expected_ = {beat, beeps};
    if (streaming_)
        publish();
}

void ClickPlayer::streamStarted(const audio::PlayedPosition& position)
{
    if (!open_)
        return;
    audio::AudioOutput* audio = audio_.get();
    const std::uint64_t stream = position.stream;
    const AudioTimeline::Position start{0, position.at};
    timeline_.followStream(position.at, [audio, stream, start] {
        const audio::PlayedPosition now = audio->playedPosition();
        if (!now.valid || now.stream != stream)
            return start;
        return AudioTimeline::Position{now.frames, now.at};
    });
    streaming_ = true;
    unavailable_ = false;
    publish();
    emit lookaheadChanged();
}

void ClickPlayer::streamMoved()
{
    QTimer::singleShot(kMoveSettles, this, [this] {
        if (streaming_)
            emit lookaheadChanged();
    });
}

void ClickPlayer::streamUnavailable(const QString& reason)
{
    if (!open_)
        return;
    streaming_ = false;
    unavailable_ = true;
    timeline_.followSteady();
    emit lookaheadChanged();
    emit fellBackToBell(reason);
}

milliseconds ClickPlayer::lookahead() const
{
    const audio::PlayedPosition heard =
        streaming_ ? audio_->playedPosition() : audio::PlayedPosition{};
    if (!heard.valid)
        return kShortestLookahead;
    // The position is that of the latest timing report; the stream has played on since.
    const std::int64_t heardNow =
        heard.frames + audio::framesIn(std::chrono::steady_clock::now() - heard.at);
    const auto heldFor =
        std::chrono::ceil<milliseconds>(audio::timeOf(audio_->framesDue() - heardNow));
    return std::max(kShortestLookahead, heldFor + kLookaheadMargin);
}

void ClickPlayer::publish()
{
    // Both the counted beat and the coming one: the counted one may not have been
    // written into the stream yet when the next is foreseen.
    // Beats long past (a previous run, or a stream before this one) are left out.
    const time_point recent = timeline_.now() - std::chrono::milliseconds(100);
    std::array<audio::Click, 2> clicks;
    int count = 0;
    for (const Beat& beat : {played_, expected_}) {
        if (beat.beeps > 0 && beat.at >= recent)
            clicks[static_cast<std::size_t>(count++)] = {timeline_.frameAt(beat.at), beat.beeps};
    }
    audio_->schedule().publish(clicks.data(), count);
}

void ClickPlayer::ringBellAt(time_point beat, int beeps)
{
    if (beeps <= 0)
        return;
    runAt(timeline_, beat, this, [bell = bell_, beeps] {
        for (int i = 0; i < beeps; ++i)
            bell();
    });
}

}  // namespace tavro::playback
