#pragma once

#include "audio/played_position.h"

#include <chrono>
#include <cstdint>

namespace tavro::audio {

// One way to the desktop's sound: a server's connection and the one stream the clicks
// play in. A route owns only those and the server's timing reports; the clicks, their
// renderer and the played position are the StreamFeed's, and which route to take, when
// to try again and what to tell the user are the AudioOutput's.
//
// begin() and end() are called from the user-interface thread and return at once; the
// route works on a thread of its own and tells how it went through its RouteListener,
// from that thread, with the attempt it was begun for.
class SoundRoute {
public:
    virtual ~SoundRoute() = default;
    // Connects and opens a stream: started, or absent, or failed follows (once).
    virtual void begin(std::uint64_t attempt) = 0;
    // Ends the connection. Once it returns the stream is gone and nothing more is told
    // of this attempt. Does nothing when nothing is begun.
    virtual void end() = 0;
};

class RouteListener {
public:
    // The stream plays; its frame 0 was heard at about `frameZero.at`.
    virtual void routeStarted(std::uint64_t attempt, PlayedPosition frameZero) = 0;
    // The stream was moved to another output; it plays on, but the output may hold more
    // of it.
    virtual void routeMoved(std::uint64_t attempt) = 0;
    // This server does not play the session's sound: another route may. `withoutDevices`:
    // a server is there, but it has no sound device (no sink) to play to. The connection
    // is already ended.
    virtual void routeAbsent(std::uint64_t attempt, bool withoutDevices) = 0;
    // No stream could be opened, or the playing one failed; `reason` is for the user.
    // The connection is already ended.
    virtual void routeFailed(std::uint64_t attempt, const char* reason) = 0;

protected:
    ~RouteListener() = default;
};

// What every route tells the user, and the limits they all keep.
namespace route {
inline constexpr const char* kNoServer = "No sound server is running.";
inline constexpr const char* kNotOpened = "The sound output could not be opened.";
inline constexpr const char* kDoesNotPlay = "The sound output does not play.";
inline constexpr const char* kServerWentAway = "The sound server went away.";
inline constexpr const char* kStoppedPlaying = "The sound output stopped playing.";

// A server that has not accepted the connection by then counts as absent: it may hang.
inline constexpr std::chrono::milliseconds kConnectTimeout{300};
// A stream whose heard position does not move for this long has failed silently.
inline constexpr std::chrono::seconds kSilenceLimit{3};
// The connection is watched closely until its stream is heard, then four times a second.
inline constexpr std::chrono::milliseconds kStartWatchInterval{10};
inline constexpr std::chrono::milliseconds kWatchInterval{250};
}  // namespace route

}  // namespace tavro::audio
