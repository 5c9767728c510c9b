#pragma once

#include "playback/audio_timeline.h"

#include <functional>

class QObject;

namespace tavro::playback {

// Runs `action` when `moment` comes on `timeline`: at once when it has come already,
// else from `context`'s event loop (not at all once `context` is gone). `timeline` must
// outlive `context`.
void runAt(const AudioTimeline& timeline, AudioTimeline::time_point moment, QObject* context,
           std::function<void()> action);

}  // namespace tavro::playback
