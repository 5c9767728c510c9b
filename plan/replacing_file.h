#pragma once

#include "plan/removal_on_signals.h"
#include "plan/track_output.h"

#include <string>

namespace tavro::plan {

// A file written whole or not at all: the bytes go to a hidden temporary file in the same
// folder, which takes the file's name only when every byte is written and on disk. It
// takes over the owner, extended attributes and mode of the file it replaces (see
// takeOverAttributes); a new file gets the usual permissions. Until then the temporary
// file is removed on any failure, on destruction, and by every signal that ends the
// program (see RemovalOnSignals). The rename gives the name a new file: other names of
// the old one (hard links) keep the old content. One at a time per program.
//
// Where the folder takes no new file but the file itself may be written (the user's
// file in a folder of mode 555), the file is written in place instead, as cp does: its
// old content is then lost on a failure, which the message says.
class ReplacingFile final : public TrackOutput {
public:
    // `file` is the real name (links followed), `shownName` the name as typed, which
    // messages show. `oldFd` is the file that `file` names, open for writing, or -1 where
    // there is none yet; it is taken over.
    ReplacingFile(std::string file, std::string shownName, int oldFd);  // throws FileError
    ~ReplacingFile() override;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void write(const void* bytes, std::size_t count) override;
    void commit() override;

private:
    void makeTemporaryFile();
    void emptyInPlace();
    [[noreturn]] void fail(int error);
    void closeAll();

    std::string file_;
    std::string shownName_;
    RemovalOnSignals temporary_;
    int oldFd_;
    int fd_ = -1;  // where the bytes go: the temporary file, or the old one in place
    bool inPlace_ = false;
    bool emptied_ = false;  // in place, once the old content is gone
};

}  // namespace tavro::plan
