#pragma once

#include "audio/click_source.h"

#include <QIODevice>

#include <array>
#include <cstdint>

namespace tavro::audio {

// The endless sample source that a QAudioSink pulls in pull mode: the frames of one
// stream's ClickSource.
//
// readData runs on the audio thread and is real-time safe: no locks, allocation or I/O.
class ClickGenerator : public QIODevice {
public:
    ClickGenerator(const ClickSchedule& schedule,
                   const std::atomic<std::uint64_t>& scheduleStream,
                   std::uint64_t stream);

    const ClickSource& source() const { return source_; }

    // Endless: the sink may always read (a constant well above any request).
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxlen) override;
    qint64 writeData(const char* data, qint64 len) override;

private:
    ClickSource source_;
    // Used when the sink's buffer is not aligned for 16-bit samples.
    std::array<std::int16_t, 1024> scratch_{};
};

}  // namespace tavro::audio
