#pragma once

namespace tavro::audio {

// Moves the calling thread to the round-robin real-time class at a modest priority,
// within what RLIMIT_RTPRIO allows (root, or a user granted real-time priority).
// Changes nothing when that is not permitted: the thread then keeps the ordinary
// scheduling class.
void raiseCurrentThreadToRealtime();

}  // namespace tavro::audio
