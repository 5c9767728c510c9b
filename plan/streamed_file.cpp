#include "plan/streamed_file.h"

#include "plan/descriptor_output.h"
#include "plan/shell_quoting.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tavro::plan {

// Emptied (O_TRUNC) should it be a regular file after all, as a shell's redirection
// does; a FIFO or a device ignores that.
StreamedFile::StreamedFile(const std::string& path)
    : fd_(aboveStandardStreams(open(path.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC))),
      owned_(true),
      shownName_(shellQuoted(path))
{
    if (fd_ < 0)
        throw FileError(shownName_, errno);
    if (isatty(fd_)) {
        close(fd_);
        throw FileError::terminal(shownName_);
    }
}

StreamedFile::StreamedFile(int fd, std::string shownName, Ownership ownership)
    : fd_(fd),
      owned_(ownership == kOwned),
      shownName_(std::move(shownName))
{
}

StreamedFile::~StreamedFile()
{
    if (owned_ && fd_ >= 0)
        close(fd_);
}

void StreamedFile::write(const void* bytes, std::size_t count)
{
    if (const int error = writeAll(fd_, bytes, count))
        throw FileError(shownName_, error);
}

void StreamedFile::commit()
{
    if (!owned_)
        return;
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        throw FileError(shownName_, errno);
}

}  // namespace tavro::plan
