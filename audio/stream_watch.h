#pragma once

#include <chrono>

namespace tavro::audio {

// The watchdog every route keeps over its connection and stream: a server that does not
// accept the connection in time counts as absent (it may hang), a stream that never plays
// as absent too (another route may play), and one whose heard position stands still for
// too long as failed. The route feeds it what it sees and looks at it on its own timer,
// every interval().
class StreamWatch {
public:
    using Clock = std::chrono::steady_clock;
    enum class Verdict { Waiting, Playing, NoServer, NeverPlayed, StoppedPlaying };

    static constexpr std::chrono::milliseconds kConnectTimeout{300};
    static constexpr std::chrono::seconds kSilenceLimit{3};

    // A new connection; a new stream on it (the silence limit counts from there).
    void begin(Clock::time_point now)
    {
        *this = {};
        begunAt_ = now;
    }
    void connected(Clock::time_point now)
    {
        connected_ = true;
        begunAt_ = now;
    }
    // The stream's heard position moved on; `heard`: it counts as playing from now on.
    void progressed(Clock::time_point now, bool heard = true)
    {
        progressAt_ = now;
        heard_ = heard_ || heard;
    }

    bool isConnected() const { return connected_; }
    bool heard() const { return heard_; }

    Verdict verdict(Clock::time_point now) const
    {
        if (!connected_)
            return now - begunAt_ > kConnectTimeout ? Verdict::NoServer : Verdict::Waiting;
        if (!heard_)
            return now - begunAt_ > kSilenceLimit ? Verdict::NeverPlayed : Verdict::Waiting;
        return now - progressAt_ > kSilenceLimit ? Verdict::StoppedPlaying : Verdict::Playing;
    }

    // Closely until the stream is heard, then four times a second.
    std::chrono::milliseconds interval() const
    {
        return heard_ ? std::chrono::milliseconds(250) : std::chrono::milliseconds(10);
    }

private:
    Clock::time_point begunAt_{};
    Clock::time_point progressAt_{};
    bool connected_ = false;
    bool heard_ = false;
};

}  // namespace tavro::audio
