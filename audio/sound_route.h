#pragma once

#include "audio/played_position.h"

#include <cstdint>

namespace tavro::audio {

// Why a route does not play the session's sound, so that the next one may.
enum class Absence : std::uint8_t {
    NoServer,     // nothing answered (or not in time)
    NoDevices,    // a server answered, with no sound device (sink) to play to
    NeverPlayed,  // a stream was opened, and never played
};

// What the routes tried before this one found: the next takes it into account.
struct EarlierRoutes {
    // A server of the session answered with no sound device: another server of the same
    // session (PipeWire's PulseAudio server) has none either.
    bool answeredWithoutDevices = false;
};

// One way to the desktop's sound: a server's connection and the one stream the clicks
// play in. A route owns only those and the server's timing reports; the clicks, their
// renderer and the played position are the StreamFeed's, and which route to take, when
// to try again and what to tell the user are the AudioOutput's. A new sound server is one
// new route, listed in AudioOutput's table.
//
// begin() and end() are called from the user-interface thread and return at once; the
// route works on a thread of its own and tells how it went through its RouteListener,
// from that thread, with the attempt it was begun for.
class SoundRoute {
public:
    virtual ~SoundRoute() = default;
    // Connects and opens a stream: started, or absent, or failed follows (once).
    virtual void begin(std::uint64_t attempt, const EarlierRoutes& earlier) = 0;
    // Ends the connection. Once it returns the stream is gone and nothing more is told
    // of this attempt. Does nothing when nothing is begun.
    virtual void end() = 0;
};

// Called from a route's thread, which may be a real-time one: an implementation must
// not block, allocate or take locks.
class RouteListener {
public:
    // The stream plays; its frame 0 was heard at about `frameZero.at`.
    virtual void routeStarted(std::uint64_t attempt, PlayedPosition frameZero) = 0;
    // The stream was moved to another output; it plays on, but the output may hold more
    // of it.
    virtual void routeMoved(std::uint64_t attempt) = 0;
    // This server does not play the session's sound: another route may. The connection
    // is already ended.
    virtual void routeAbsent(std::uint64_t attempt, Absence why) = 0;
    // No stream could be opened, or the playing one failed; `reason` (a string of static
    // storage) is for the user. The connection is already ended.
    virtual void routeFailed(std::uint64_t attempt, const char* reason) = 0;

protected:
    ~RouteListener() = default;
};

// What every route tells the user.
namespace route {
inline constexpr const char* kNoServer = "No sound server is running.";
inline constexpr const char* kNotOpened = "The sound output could not be opened.";
inline constexpr const char* kDoesNotPlay = "The sound output does not play.";
inline constexpr const char* kServerWentAway = "The sound server went away.";
inline constexpr const char* kStoppedPlaying = "The sound output stopped playing.";
}  // namespace route

}  // namespace tavro::audio
