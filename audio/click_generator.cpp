#include "audio/click_generator.h"

#include <algorithm>
#include <cstring>

namespace tavro::audio {

namespace {
constexpr qint64 kBytesPerFrame = sizeof(std::int16_t);
}

ClickGenerator::ClickGenerator(const ClickSchedule& schedule,
                               const std::atomic<std::uint64_t>& scheduleStream,
                               std::uint64_t stream)
    : source_(schedule, scheduleStream, stream)
{
}

qint64 ClickGenerator::bytesAvailable() const
{
    return qint64{1} << 30;
}

qint64 ClickGenerator::readData(char* data, qint64 maxlen)
{
    // Whole frames only: the frame counter is the stream's clock.
    const qint64 frames = maxlen / kBytesPerFrame;
    if (frames <= 0)
        return 0;
    if (reinterpret_cast<std::uintptr_t>(data) % alignof(std::int16_t) == 0) {
        for (qint64 done = 0; done < frames;) {
            const int n = static_cast<int>(std::min<qint64>(frames - done, 1 << 20));
            source_.fill(reinterpret_cast<std::int16_t*>(data) + done, n);
            done += n;
        }
    } else {
        for (qint64 done = 0; done < frames;) {
            const int n = static_cast<int>(std::min<qint64>(frames - done, scratch_.size()));
            source_.fill(scratch_.data(), n);
            std::memcpy(data + done * kBytesPerFrame, scratch_.data(), n * kBytesPerFrame);
            done += n;
        }
    }
    return frames * kBytesPerFrame;
}

qint64 ClickGenerator::writeData(const char*, qint64)
{
    return -1;  // a source only
}

}  // namespace tavro::audio
