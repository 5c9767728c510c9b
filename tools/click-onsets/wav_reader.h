#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavro::onsets {

// A recording reduced to what onset finding needs: the loudness of each frame, taken
// as the largest magnitude over its channels (0..32768).
struct Recording {
    int sampleRate = 0;
    std::vector<std::uint16_t> level;
};

// Reads a 16-bit PCM WAV file (any number of channels) from its bytes. Chunks other
// than "fmt " and "data" are skipped. A data chunk whose size runs past the end of the
// bytes (a recorder stopped before it could finish the header) is cut to what is
// there. Returns false with `problem` set for anything else.
bool parseWav(std::string_view bytes, Recording& out, std::string& problem);

bool readWavFile(const std::string& path, Recording& out, std::string& problem);

}  // namespace tavro::onsets
