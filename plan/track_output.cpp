#include "plan/track_output.h"

#include "plan/replacing_file.h"
#include "plan/shell_quoting.h"
#include "plan/streamed_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tavro::plan {

namespace {

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

FileError::FileError(const std::string& message)
    : std::runtime_error(message)
{
}

std::unique_ptr<TrackOutput> openTrackFile(const std::string& path)
{
    struct stat named {};
    const bool exists = stat(path.c_str(), &named) == 0;
    if (exists && !S_ISREG(named.st_mode))
        return std::make_unique<StreamedFile>(path);
    const std::string file = linkedFile(path);
    // A link that leads to no name of the file (those of /proc/self/fd, to a deleted
    // file) gives nothing to replace: the file is written through it.
    struct stat found {};
    if (exists && (lstat(file.c_str(), &found) != 0 || !sameFile(found, named)))
        return std::make_unique<StreamedFile>(path);
    return std::make_unique<ReplacingFile>(file);
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
        throw FileError("standard output is a terminal: send the click track to a file or a pipe");
    return std::make_unique<StreamedFile>(STDOUT_FILENO, kStandardOutputName);
}

}  // namespace tavro::plan
