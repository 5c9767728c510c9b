#pragma once

namespace tavro::audio {

// Moves the calling thread to the round-robin real-time class at a modest priority,
// within what RLIMIT_RTPRIO allows (root, or a user granted real-time priority).
// Returns false and changes nothing when that is not permitted: the thread then keeps
// the ordinary scheduling class, where Qt's thread priorities do nothing on Linux.
bool raiseCurrentThreadToRealtime();

}  // namespace tavro::audio
