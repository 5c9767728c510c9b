#include "plan/track_output.h"

#include "plan/descriptor_output.h"
#include "plan/replacing_file.h"
#include "plan/shell_quoting.h"
#include "plan/streamed_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tavro::plan {

namespace {

// A descriptor closed on leaving the scope, unless released.
struct OpenFile {
    explicit OpenFile(int descriptor)
        : fd(descriptor)
    {
    }
    ~OpenFile()
    {
        if (fd >= 0)
            close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int release() { return std::exchange(fd, -1); }
    int fd;
};

constexpr int kMostLinks = 40;  // as the kernel follows, before it gives up with ELOOP

// The name of the file that `path` leads to through symbolic links, or `path` itself when
// it is no link. That file need not exist: a link may lead to a name not yet taken.
std::string linkedFile(const std::string& path)
{
    namespace fs = std::filesystem;
    fs::path name(path);
    for (int links = 0; links <= kMostLinks; ++links) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(name, error)))
            return name.string();
        const fs::path target = fs::read_symlink(name, error);
        if (error)
            throw FileError(shellQuoted(name.string()), error.value());
        name = target.is_absolute() ? target : name.parent_path() / target;
    }
    throw FileError(shellQuoted(path), ELOOP);
}

// A name not yet taken, or a link that leads to one. Following such a link makes a file
// where it leads, which the kernel may forbid (a link planted in a shared folder, under
// fs.protected_symlinks): it is asked by following the link without opening anything.
std::unique_ptr<TrackOutput> newTrackFile(const std::string& path)
{
    struct stat link {};
    if (lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        const OpenFile followed(open(path.c_str(), O_PATH | O_CLOEXEC));
        if (followed.fd < 0 && errno != ENOENT)
            throw FileError(shellQuoted(path), errno);
    }
    return std::make_unique<ReplacingFile>(linkedFile(path), path, -1);
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

FileError::FileError(const std::string& shownName, int error)
    : std::runtime_error("cannot write " + shownName + ": " + std::strerror(error)),
      error_(error)
{
}

FileError::FileError(const std::string& shownName, const std::string& why, int error)
    : std::runtime_error("cannot write " + shownName + ": " + why),
      error_(error)
{
}

FileError::FileError(const std::string& message)
    : std::runtime_error(message)
{
}

FileError FileError::terminal(const std::string& shownName)
{
    return FileError(shownName + " is a terminal: send the click track to a file or a pipe");
}

std::unique_ptr<TrackOutput> openTrackFile(const std::string& path)
{
    const std::string shown = shellQuoted(path);
    struct stat named {};
    if (stat(path.c_str(), &named) != 0) {
        if (errno != ENOENT)
            throw FileError(shown, errno);
        return newTrackFile(path);
    }
    if (!S_ISREG(named.st_mode))
        return std::make_unique<StreamedFile>(path);
    // Opened for writing as named before anything else: the kernel refuses a
    // write-protected file, another user's, and a planted link, and this is its verdict.
    OpenFile opened(aboveStandardStreams(open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC)));
    if (opened.fd < 0)
        throw FileError(shown, errno);
    const std::string file = linkedFile(path);
    // A link that leads to no name of the file (those of /proc/self/fd, to a deleted
    // file) gives nothing to replace: the file is written through it, emptied first as a
    // shell's redirection does.
    struct stat found {
    }, written{};
    if (fstat(opened.fd, &written) != 0)
        throw FileError(shown, errno);
    if (lstat(file.c_str(), &found) != 0 || !sameFile(found, written)) {
        if (ftruncate(opened.fd, 0) != 0)
            throw FileError(shown, errno);
        return std::make_unique<StreamedFile>(opened.release(), shown, StreamedFile::kOwned);
    }
    return std::make_unique<ReplacingFile>(file, path, opened.release());
}

bool isStandardOutput(const std::string& path)
{
    struct stat named {
    }, open{};
    return stat(path.c_str(), &named) == 0 && !S_ISCHR(named.st_mode)
           && fstat(STDOUT_FILENO, &open) == 0 && sameFile(named, open);
}

std::unique_ptr<TrackOutput> openStandardOutput()
{
    if (isatty(STDOUT_FILENO))
        throw FileError::terminal(kStandardOutputName);
    return std::make_unique<StreamedFile>(STDOUT_FILENO, kStandardOutputName);
}

}  // namespace tavro::plan
