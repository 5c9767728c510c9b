#pragma once

#include "audio/click_generator.h"
#include "audio/output_stream.h"

#include <QAudioDevice>
#include <QAudioSink>

#include <memory>

namespace tavro::audio {

// The usual way out: a QAudioSink in pull mode reading a ClickGenerator on the thread
// that creates it.
class QtSinkStream : public OutputStream {
public:
    QtSinkStream(const ClickSchedule& schedule, const std::atomic<std::uint64_t>& scheduleStream,
                 std::uint64_t stream);
    ~QtSinkStream() override;

    // Starts playing to `device`; false when the sink stopped at once.
    bool start(const QAudioDevice& device);

    bool failed() const override;
    std::optional<std::int64_t> heardMicros() override;
    const ClickSource& source() const override { return generator_.source(); }

private:
    ClickGenerator generator_;
    std::unique_ptr<QAudioSink> sink_;  // reads from the generator: goes first
};

}  // namespace tavro::audio
