#include "plan/click_track.h"

#include "audio/click_sound.h"

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

namespace tavro::plan {

namespace {

constexpr int kChannels = 1;
constexpr int kBytesPerSample = 2;
constexpr std::int64_t kChunkFrames = std::int64_t{1} << 20;

class HeaderBytes {
public:
    void text(const char (&four)[5]) { bytes_.insert(bytes_.end(), four, four + 4); }
    void number(std::uint32_t value, int size)
    {
        for (int i = 0; i < size; ++i)
            bytes_.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
    const std::vector<unsigned char>& bytes() const { return bytes_; }

private:
    std::vector<unsigned char> bytes_;
};

// The canonical 44-byte header of a PCM WAV file, numbers little-endian.
std::vector<unsigned char> wavHeader(std::int64_t frames)
{
    const auto dataBytes = static_cast<std::uint32_t>(frames * kChannels * kBytesPerSample);
    HeaderBytes h;
    h.text("RIFF");
    h.number(36 + dataBytes, 4);
    h.text("WAVE");
    h.text("fmt ");
    h.number(16, 4);  // size of the format chunk
    h.number(1, 2);   // PCM
    h.number(kChannels, 2);
    h.number(audio::kSampleRate, 4);
    h.number(audio::kSampleRate * kChannels * kBytesPerSample, 4);  // bytes per second
    h.number(kChannels * kBytesPerSample, 2);                       // bytes per frame
    h.number(8 * kBytesPerSample, 2);                               // bits per sample
    h.text("data");
    h.number(dataBytes, 4);
    return h.bytes();
}

std::vector<std::int16_t> clickSamples(int beeps)
{
    std::vector<std::int16_t> click(static_cast<std::size_t>(std::max(beeps, 0))
                                    * audio::kBeepFrames);
    for (std::size_t frame = 0; frame < click.size(); ++frame)
        click[frame] = audio::clickSample(static_cast<std::int64_t>(frame), beeps);
    return click;
}

void toLittleEndian(std::vector<std::int16_t>& samples, std::size_t count)
{
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < count; ++i) {
            const auto bits = static_cast<std::uint16_t>(samples[i]);
            samples[i] = static_cast<std::int16_t>((bits >> 8) | (bits << 8));
        }
    }
}

}  // namespace

std::int64_t BeatFrames::frame()
{
    const PlanRow& row = plan_.row(row_);
    return (row.startMs + beatOfRow_ * row.intervalMs) * audio::kFramesPerMillisecond;
}

void BeatFrames::advance()
{
    if (++beatOfRow_ == plan_.beatsPerStep()) {
        beatOfRow_ = 0;
        ++row_;
    }
}

void writeClickTrack(SpeedPlan& plan, int beeps, std::int64_t frames, TrackOutput& file,
                     const std::function<void(std::int64_t)>& progress)
{
    const std::vector<unsigned char> header = wavHeader(frames);
    file.write(header.data(), header.size());

    const std::vector<std::int16_t> click = clickSamples(beeps);
    const auto clickFrames = static_cast<std::int64_t>(click.size());
    std::vector<std::int16_t> chunk(kChunkFrames);
    BeatFrames beats(plan);
    std::int64_t lastClick = -clickFrames;  // where the last click begun begins

    for (std::int64_t begin = 0; begin < frames; begin += kChunkFrames) {
        const std::int64_t end = std::min(begin + kChunkFrames, frames);
        std::fill(chunk.begin(), chunk.begin() + (end - begin), std::int16_t{0});
        // Clicks are copied, not mixed: the shortest interval (171 ms) outlasts the
        // longest click (15 beeps, 120 ms), so no two clicks overlap.
        const auto place = [&](std::int64_t start) {
            const std::int64_t from = std::max(start, begin);
            const std::int64_t to = std::min(start + clickFrames, end);
            if (from < to)
                std::copy(click.begin() + (from - start), click.begin() + (to - start),
                          chunk.begin() + (from - begin));
        };
        place(lastClick);  // the part of it that fell past the last chunk
        for (; beats.frame() < end; beats.advance()) {
            lastClick = beats.frame();
            place(lastClick);
        }
        toLittleEndian(chunk, static_cast<std::size_t>(end - begin));
        file.write(chunk.data(), static_cast<std::size_t>(end - begin) * kBytesPerSample);
        progress(end);
    }
}

}  // namespace tavro::plan
