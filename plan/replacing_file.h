#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace tavro::plan {

// Why a file could not be written; what() names the file and the reason.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file written whole or not at all: the bytes go to a hidden temporary file in the same
// folder, which takes the file's name only when every byte is written. Until then the
// temporary file is removed on any failure, on destruction, and on SIGINT, SIGTERM or
// SIGHUP; going over the file size limit is a failure, not the end of the program.
// One at a time per program.
class ReplacingFile {
public:
    explicit ReplacingFile(std::string path);  // throws FileError
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    void write(const void* bytes, std::size_t count);  // throws FileError
    void commit();                                     // throws FileError

private:
    [[noreturn]] void fail(int error);
    void discard();

    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    bool watching_ = false;  // the signals above are caught
};

}  // namespace tavro::plan
