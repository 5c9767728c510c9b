#include "plan/replacing_file.h"

#include "plan/descriptor_output.h"
#include "plan/shell_quoting.h"

#include <cerrno>
#include <climits>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tavro::plan {

namespace {

// ".NAME.XXXXXX" beside the file, NAME cut short where the whole would be longer than a
// file name may be: any name that can be written can be replaced.
std::string temporaryPattern(const std::string& path)
{
    const std::filesystem::path file(path);
    const std::string folder = file.parent_path().string();
    constexpr std::size_t kAdded = std::string_view("..XXXXXX").size();
    return (folder.empty() ? "." : folder) + "/."
           + file.filename().string().substr(0, NAME_MAX - kAdded) + ".XXXXXX";
}

}  // namespace

ReplacingFile::ReplacingFile(std::string path)
    : path_(std::move(path))
{
    std::string name = temporaryPattern(path_);
    fd_ = aboveStandardStreams(temporary_.makeFile(name));
    if (fd_ < 0)
        fail(errno);
    takeOverAttributes();
}

ReplacingFile::~ReplacingFile()
{
    if (fd_ >= 0)
        close(fd_);
}

// mkstemp makes the file private to its owner; it gets what the file it replaces has.
void ReplacingFile::takeOverAttributes()
{
    mode_t mode = 0;
    struct stat old {};
    if (stat(path_.c_str(), &old) == 0) {
        // The owner before the mode, whose set-ID bits a change of owner clears. Only
        // root may give a file away, and a user keeps a group only if a member of it:
        // otherwise the new file is the user's, as any new file.
        if (fchown(fd_, old.st_uid, old.st_gid) != 0 && errno != EPERM)
            fail(errno);
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    if (fchmod(fd_, mode) != 0)
        fail(errno);
}

void ReplacingFile::write(const void* bytes, std::size_t count)
{
    if (const int error = writeAll(fd_, bytes, count))
        fail(error);
}

void ReplacingFile::commit()
{
    // On disk before it takes the name: after a crash the name holds the old file or the
    // new one, whole.
    if (fsync(fd_) != 0)
        fail(errno);
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        fail(errno);
    if (const int error = temporary_.renameTo(path_))
        fail(error);
}

void ReplacingFile::fail(int error)
{
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    temporary_.remove();
    throw FileError(shellQuoted(path_), error);
}

}  // namespace tavro::plan
