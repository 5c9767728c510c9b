#pragma once

#include "plan/track_output.h"

#include <string>

namespace tavro::plan {

// A file written straight through, as it is, for what is not a regular file: a FIFO, a
// device, a terminal, standard output. A reader takes the bytes as they come, so nothing
// is taken back after a failure.
class StreamedFile final : public TrackOutput {
public:
    // Opens `path` for writing, without creating it; for a FIFO, once it has a reader.
    explicit StreamedFile(const std::string& path);  // throws FileError
    // An open descriptor, left open: standard output.
    StreamedFile(int fd, std::string shownName);
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
