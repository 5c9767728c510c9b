#pragma once

#include "audio/click_source.h"

#include <cstdint>
#include <optional>

namespace tavro::audio {

// Which way a stream reaches the sound server.
enum class StreamRoute {
    // A libpulse stream of our own (PulseStream): it keeps playing through an underrun,
    // so its frames stay on the device's clock; samples that come too late are lost,
    // and nothing after them moves.
    Direct,
    // Qt Multimedia's QAudioSink. Qt 6.4 gives its PulseAudio stream a prebuffer that
    // cannot be changed: after an underrun the server waits for it to fill again, and
    // every later frame sounds later by the gap.
    QtSink,
};

// One playing stream as the StreamKeeper sees it, whichever way it reaches the sound
// server. Used from the audio thread; the stream may feed itself from a thread of its
// own, which is why its source's counters are atomic.
class OutputStream {
public:
    virtual ~OutputStream() = default;  // stops the stream

    // Stopped for good: the server went away, or refused or dropped the stream.
    virtual bool failed() const = 0;
    // How much of the stream the server has played out, less what still sits in the
    // device's own buffer; nothing until the server has said.
    virtual std::optional<std::int64_t> heardMicros() = 0;
    virtual const ClickSource& source() const = 0;
};

}  // namespace tavro::audio
