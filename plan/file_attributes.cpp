#include "plan/file_attributes.h"

#include <cerrno>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace tavro::plan {

namespace {

constexpr std::string_view kAccessAcl = "system.posix_acl_access";

// What `read(buffer, size)` gives (flistxattr, fgetxattr), in a buffer as large as it
// asks; the sizes asked and read may differ when the attributes change between.
template <typename Read>
int readSized(std::vector<char>& into, Read read)
{
    for (;;) {
        const ssize_t size = read(nullptr, 0);
        if (size < 0)
            return errno;
        into.resize(static_cast<std::size_t>(size));
        const ssize_t got = read(into.data(), into.size());
        if (got >= 0) {
            into.resize(static_cast<std::size_t>(got));
            return 0;
        }
        if (errno != ERANGE)
            return errno;
    }
}

bool notForThisUser(int error)
{
    // The file system has no such attributes, or this user may not set this one (a
    // trusted or security attribute): it is left, as an owner that may not be given.
    return error == ENOTSUP || error == EPERM || error == EACCES;
}

int copyExtendedAttributes(int from, int to)
{
    std::vector<char> names;
    if (const int error = readSized(
            names, [&](char* buffer, std::size_t size) { return flistxattr(from, buffer, size); }))
        return error == ENOTSUP ? 0 : error;
    bool hasAccessAcl = false;
    std::vector<char> value;
    for (std::size_t at = 0; at < names.size();) {
        const std::string name(names.data() + at);
        at += name.size() + 1;
        hasAccessAcl = hasAccessAcl || name == kAccessAcl;
        const int error = readSized(value, [&](char* buffer, std::size_t size) {
            return fgetxattr(from, name.c_str(), buffer, size);
        });
        if (error == ENODATA)
            continue;  // removed meanwhile
        if (error != 0)
            return error;
        if (fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0
            && !notForThisUser(errno))
            return errno;
    }
    // A new file in a folder with a default ACL is made with an ACL of its own, which
    // the old file did not have.
    if (!hasAccessAcl && fremovexattr(to, kAccessAcl.data()) != 0 && errno != ENODATA
        && !notForThisUser(errno))
        return errno;
    return 0;
}

}  // namespace

int takeOverAttributes(int oldFd, int newFd)
{
    struct stat old {};
    if (fstat(oldFd, &old) != 0)
        return errno;
    // The owner first, as a change of owner clears the set-ID bits and the file's
    // capabilities; the mode last, as it is also the access ACL's mask.
    if (fchown(newFd, old.st_uid, old.st_gid) != 0 && errno != EPERM)
        return errno;
    if (const int error = copyExtendedAttributes(oldFd, newFd))
        return error;
    return fchmod(newFd, old.st_mode & 07777) == 0 ? 0 : errno;
}

int giveUsualPermissions(int fd)
{
    const mode_t mask = umask(0);
    umask(mask);
    return fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
}

}  // namespace tavro::plan
