#pragma once

#include "plan/track_output.h"

#include <string>

namespace tavro::plan {

// A file written straight through, as it is, for what is not a regular file: a FIFO, a
// device, standard output. A reader takes the bytes as they come, so nothing is taken
// back after a failure. A terminal is refused: the track would fill the screen.
class StreamedFile final : public TrackOutput {
public:
    // Opens `path` for writing, without creating it; for a FIFO, once it has a reader.
    explicit StreamedFile(const std::string& path);  // throws FileError
    // An open descriptor: standard output, left open; or, kOwned, one closed at the end.
    enum Ownership { kLeftOpen, kOwned };
    StreamedFile(int fd, std::string shownName, Ownership ownership = kLeftOpen);
    ~StreamedFile() override;
    StreamedFile(const StreamedFile&) = delete;
    StreamedFile& operator=(const StreamedFile&) = delete;

    void write(const void* bytes, std::size_t count) override;
    void commit() override;

private:
    int fd_;
    bool owned_;
    std::string shownName_;  // as messages show it
};

}  // namespace tavro::plan
