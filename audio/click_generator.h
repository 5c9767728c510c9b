#pragma once

#include "audio/click_renderer.h"
#include "audio/click_schedule.h"

#include <QIODevice>

#include <array>
#include <atomic>
#include <cstdint>

namespace tavro::audio {

// The endless sample source that the sink pulls in pull mode: mono 16-bit frames from
// a ClickRenderer of its own, so every stream counts its frames from 0.
//
// The schedule may still hold the previous stream's clicks when a stream starts; the
// generator writes silence until `scheduleStream` names its stream, which the owner
// sets once the schedule has been cleared for it.
//
// readData runs on the audio thread and is real-time safe: no locks, allocation or I/O.
class ClickGenerator : public QIODevice {
public:
    ClickGenerator(const ClickSchedule& schedule,
                   const std::atomic<std::uint64_t>& scheduleStream,
                   std::uint64_t stream);

    // Frames handed to the sink so far; readable from any thread.
    std::int64_t framesWritten() const { return framesWritten_.load(std::memory_order_relaxed); }
    const ClickRenderer& renderer() const { return renderer_; }

    // Endless: the sink may always read (a constant well above any request).
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxlen) override;
    qint64 writeData(const char* data, qint64 len) override;

private:
    void fill(std::int16_t* out, int frames);

    ClickRenderer renderer_;
    const std::atomic<std::uint64_t>& scheduleStream_;
    const std::uint64_t stream_;
    std::atomic<std::int64_t> framesWritten_{0};
    // Used when the sink's buffer is not aligned for 16-bit samples.
    std::array<std::int16_t, 1024> scratch_{};
};

}  // namespace tavro::audio
