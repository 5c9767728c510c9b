#include "audio/qt_sink_stream.h"

#include <QAudioFormat>

namespace tavro::audio {

namespace {

// About 60 ms: Qt 6.4 pulls 20 ms at a time; below 45 ms its PulseAudio stream falls
// silent for good without an error, and libpulse aborts at exit.
constexpr qsizetype kBufferBytes = 60 * kFramesPerMillisecond * sizeof(std::int16_t);

QAudioFormat streamFormat()
{
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

}  // namespace

QtSinkStream::QtSinkStream(const ClickSchedule& schedule,
                           const std::atomic<std::uint64_t>& scheduleStream, std::uint64_t stream)
    : generator_(schedule, scheduleStream, stream)
{
    generator_.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

QtSinkStream::~QtSinkStream()
{
    if (sink_)
        sink_->stop();
}

bool QtSinkStream::start(const QAudioDevice& device)
{
    sink_ = std::make_unique<QAudioSink>(device, streamFormat());
    sink_->setBufferSize(kBufferBytes);
    sink_->start(&generator_);
    return !failed();
}

bool QtSinkStream::failed() const
{
    // An underrun only idles the sink until the next read; anything else that stops it
    // ends the stream.
    const QAudio::Error error = sink_->error();
    return sink_->state() == QAudio::StoppedState
        || (error != QAudio::NoError && error != QAudio::UnderrunError);
}

// In Qt 6.4's PulseAudio backend processedUSecs() is the stream time that libpulse
// reports: the frames the server has played out, less what still sits in the device's
// own buffer, updated smoothly between the server's timing reports. Measured on a null
// sink's monitor it matches the heard position to about 2 ms, while the frames handed
// to the sink run 15-40 ms ahead of it.
std::optional<std::int64_t> QtSinkStream::heardMicros()
{
    return sink_->processedUSecs();
}

}  // namespace tavro::audio
