#pragma once

#include <chrono>

namespace tavro::audio {

// Whether a PulseAudio server (or PipeWire's PulseAudio server) accepts a client now,
// found the way every libpulse client finds it (PULSE_SERVER, client.conf, the user's
// runtime dir). Gives up after `timeout`; costs a connection and nothing else.
//
// Qt 6.4 connects to the server once, when its audio devices are first used, and
// never tries again if that fails: asking Qt before this says yes would leave the
// whole process without sound.
bool soundServerReachable(std::chrono::milliseconds timeout);

}  // namespace tavro::audio
