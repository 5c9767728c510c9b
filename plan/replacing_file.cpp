#include "plan/replacing_file.h"

#include "plan/descriptor_output.h"
#include "plan/file_attributes.h"
#include "plan/shell_quoting.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tavro::plan {

namespace {

std::string folderOf(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// ".NAME.XXXXXX" beside the file, NAME cut short where the whole would be longer than a
// file name may be: any name that can be written can be replaced.
std::string temporaryPattern(const std::string& path)
{
    constexpr std::size_t kAdded = std::string_view("..XXXXXX").size();
    return folderOf(path) + "/."
           + std::filesystem::path(path).filename().string().substr(0, NAME_MAX - kAdded)
           + ".XXXXXX";
}

// Why `folder` took no new file: ENOSPC with blocks to spare is a file system out of
// inodes, which "No space left on device" would not tell.
std::string whyNoFileIn(const std::string& folder, int error)
{
    struct statvfs room {};
    if (error == ENOSPC && statvfs(folder.c_str(), &room) == 0 && room.f_files > 0
        && room.f_favail == 0)
        return "its file system has no free inodes";
    return std::strerror(error);
}

}  // namespace

ReplacingFile::ReplacingFile(std::string file, std::string shownName, int oldFd)
    : file_(std::move(file)),
      shownName_(std::move(shownName)),
      oldFd_(oldFd)
{
    makeTemporaryFile();
    if (inPlace_)
        return;
    if (const int error = oldFd_ >= 0 ? takeOverAttributes(oldFd_, fd_) : giveUsualPermissions(fd_))
        fail(error);
    close(oldFd_);
    oldFd_ = -1;
}

ReplacingFile::~ReplacingFile() { closeAll(); }

void ReplacingFile::makeTemporaryFile()
{
    std::string name = temporaryPattern(file_);
    fd_ = aboveStandardStreams(temporary_.makeFile(name));
    if (fd_ >= 0)
        return;
    const int error = errno;
    if (oldFd_ >= 0 && (error == EACCES || error == EPERM)) {
        fd_ = oldFd_;  // the folder takes no new file, but the file may be written
        oldFd_ = -1;
        inPlace_ = true;
        return;
    }
    closeAll();
    if (error == ENOENT || error == ENOTDIR)
        throw FileError(shellQuoted(shownName_), error);  // no such folder: the path says it
    const std::string folder = folderOf(file_);
    throw FileError(
        shellQuoted(shownName_),
        "cannot make a file in " + shellQuoted(folder) + ": " + whyNoFileIn(folder, error), error);
}

// The old content goes only when the first byte of the new is written, not when the
// file is opened: a track refused before (the table's reader gone) leaves it as it was.
void ReplacingFile::emptyInPlace()
{
    if (emptied_)
        return;
    emptied_ = true;
    if (ftruncate(fd_, 0) != 0)
        fail(errno);
}

void ReplacingFile::write(const void* bytes, std::size_t count)
{
    if (inPlace_)
        emptyInPlace();
    if (const int error = writeAll(fd_, bytes, count))
        fail(error);
}

void ReplacingFile::commit()
{
    if (inPlace_)
        emptyInPlace();
    // On disk before it takes the name: after a crash the name holds the old file or the
    // new one, whole.
    if (fsync(fd_) != 0)
        fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        fail(errno);
    if (inPlace_)
        return;
    if (const int error = temporary_.renameTo(file_))
        fail(error);
}

void ReplacingFile::closeAll()
{
    for (int* fd : {&fd_, &oldFd_}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

void ReplacingFile::fail(int error)
{
    closeAll();
    temporary_.remove();
    if (!emptied_)
        throw FileError(shellQuoted(shownName_), error);
    throw FileError(shellQuoted(shownName_),
                    std::strerror(error) + std::string("; it was written in place, as its folder ")
                        + shellQuoted(folderOf(file_))
                        + " takes no new file, and its old content is lost",
                    error);
}

}  // namespace tavro::plan
