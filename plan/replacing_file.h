#pragma once

#include "plan/removal_on_signals.h"
#include "plan/track_output.h"

#include <string>

namespace tavro::plan {

// A file written whole or not at all: the bytes go to a hidden temporary file in the same
// folder, which takes the file's name only when every byte is written and on disk. It
// takes over the mode of the file it replaces, and its owner and group where the user
// may give them; a new file gets the usual permissions. Until then the temporary file is
// removed on any failure, on destruction, and by every signal that ends the program (see
// RemovalOnSignals). The rename gives the name a new file: other names of the old one
// (hard links) keep the old content. One at a time per program.
class ReplacingFile final : public TrackOutput {
public:
    explicit ReplacingFile(std::string path);  // throws FileError
    ~ReplacingFile() override;

    void write(const void* bytes, std::size_t count) override;
    void commit() override;

private:
    void takeOverAttributes();
    [[noreturn]] void fail(int error);

    std::string path_;
    RemovalOnSignals temporary_;
    int fd_ = -1;
};

}  // namespace tavro::plan
