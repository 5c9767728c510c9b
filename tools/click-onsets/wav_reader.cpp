#include "wav_reader.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace tavro::onsets {

namespace {

std::uint32_t le32(std::string_view b, std::size_t at)
{
    auto byte = [&](std::size_t i) { return std::uint32_t(static_cast<unsigned char>(b[at + i])); };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

std::uint16_t le16(std::string_view b, std::size_t at)
{
    return std::uint16_t(static_cast<unsigned char>(b[at])
                         | static_cast<unsigned char>(b[at + 1]) << 8);
}

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

}  // namespace

bool parseWav(std::string_view bytes, Recording& out, std::string& problem)
{
    if (bytes.size() < 12 || bytes.substr(0, 4) != "RIFF" || bytes.substr(8, 4) != "WAVE") {
        problem = "not a RIFF WAVE file";
        return false;
    }
    int channels = 0;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const std::string_view id = bytes.substr(at, 4);
        const std::size_t size = le32(bytes, at + 4);
        const std::size_t body = at + 8;
        if (id == "fmt ") {
            if (size < 16 || body + 16 > bytes.size())
                break;
            const std::uint16_t format = le16(bytes, body);
            channels = le16(bytes, body + 2);
            out.sampleRate = int(le32(bytes, body + 4));
            const std::uint16_t bits = le16(bytes, body + 14);
            // Extensible files name the real format in the first two bytes of their GUID.
            const bool pcm =
                format == kFormatPcm
                || (format == kFormatExtensible && size >= 26 && body + 26 <= bytes.size()
                    && le16(bytes, body + 24) == kFormatPcm);
            if (!pcm || bits != 16 || channels < 1 || out.sampleRate < 1000) {
                problem = "not 16-bit PCM (format " + std::to_string(format) + ", "
                          + std::to_string(bits) + " bits, " + std::to_string(channels)
                          + " channels, " + std::to_string(out.sampleRate) + " Hz)";
                return false;
            }
        } else if (id == "data") {
            if (channels == 0)
                break;
            const std::size_t available = bytes.size() - body;
            const std::size_t length = size == 0 || size > available ? available : size;
            const std::size_t frameBytes = 2 * std::size_t(channels);
            out.level.resize(length / frameBytes);
            for (std::size_t f = 0; f < out.level.size(); ++f) {
                int loudest = 0;
                for (int c = 0; c < channels; ++c) {
                    const auto sample = std::int16_t(le16(bytes, body + f * frameBytes + 2 * c));
                    loudest = std::max(loudest, std::abs(int(sample)));
                }
                out.level[f] = std::uint16_t(loudest);
            }
            return true;
        }
        at = body + size + (size & 1);  // chunks are padded to an even size
    }
    problem = channels == 0 ? "no \"fmt \" chunk before the data" : "no \"data\" chunk";
    return false;
}

bool readWavFile(const std::string& path, Recording& out, std::string& problem)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file.good() && !file.eof()) {
        problem = "cannot read " + path;
        return false;
    }
    if (!parseWav(bytes, out, problem)) {
        problem = path + ": " + problem;
        return false;
    }
    return true;
}

}  // namespace tavro::onsets
