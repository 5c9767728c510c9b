#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

namespace tavro::plan {

// How messages name standard output.
inline constexpr const char* kStandardOutputName = "standard output";

// Why the click track could not be written; what() names the file and the reason.
class FileError : public std::runtime_error {
public:
    // "cannot write NAME: REASON", with the file's name as messages show it.
    FileError(const std::string& shownName, int error);
    // "cannot write NAME: WHY", where the errno alone would not say what failed.
    FileError(const std::string& shownName, const std::string& why, int error);
    explicit FileError(const std::string& message);
    // "NAME is a terminal: ...": a track is never written to the screen.
    static FileError terminal(const std::string& shownName);

    int error() const { return error_; }  // the errno, or 0

private:
    int error_ = 0;
};

// Where the click track goes: its bytes in order, then commit() once all are written.
// What an output destroyed before its commit leaves behind depends on its kind.
class TrackOutput {
public:
    virtual ~TrackOutput() = default;
    virtual void write(const void* bytes, std::size_t count) = 0;  // throws FileError
    virtual void commit() = 0;                                     // throws FileError
};

// The output that --wav FILE names. A regular file, or a name not yet taken, is replaced
// whole (a ReplacingFile); through a symbolic link, the file it leads to is, and the link
// stays. Anything else (a FIFO, a device, /dev/stdout into a pipe) is written straight
// through (a StreamedFile); a terminal is refused. The kernel judges first whether this
// user may write the file as named: a write-protected file, another user's, and a link
// that may not be followed (fs.protected_symlinks) are refused as cp refuses them.
std::unique_ptr<TrackOutput> openTrackFile(const std::string& path);  // throws FileError

// Whether `path` names the pipe or the file that is open as standard output: /dev/stdout,
// or the file that standard output was redirected to. A device takes two writers as it
// takes one (/dev/null), or is a terminal, which shows both: it does not count.
bool isStandardOutput(const std::string& path);

// Standard output, written straight through; refused when it is a terminal.
std::unique_ptr<TrackOutput> openStandardOutput();  // throws FileError

}  // namespace tavro::plan
