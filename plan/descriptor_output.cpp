#include "plan/descriptor_output.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tavro::plan {

int writeAll(int fd, const void* bytes, std::size_t count)
{
    const char* next = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t written = ::write(fd, next, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return written < 0 ? errno : ENOSPC;
        next += written;
        count -= static_cast<std::size_t>(written);
    }
    return 0;
}

int aboveStandardStreams(int fd)
{
    if (fd < 0 || fd > STDERR_FILENO)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int error = errno;
    close(fd);
    errno = error;
    return moved;
}

DescriptorBuffer::DescriptorBuffer(int fd)
    : fd_(fd)
{
    setp(buffer_, buffer_ + sizeof buffer_);
}

int DescriptorBuffer::errorOf(const std::ostream& out)
{
    const auto* buffer = dynamic_cast<const DescriptorBuffer*>(out.rdbuf());
    return buffer ? buffer->error_ : 0;
}

DescriptorBuffer::int_type DescriptorBuffer::overflow(int_type c)
{
    if (!drain())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof()))
        sputc(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
}

int DescriptorBuffer::sync() { return drain() ? 0 : -1; }

// Writes out what is buffered; after a failure nothing more is written.
bool DescriptorBuffer::drain()
{
    if (error_ == 0)
        error_ = writeAll(fd_, pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_, buffer_ + sizeof buffer_);
    return error_ == 0;
}

}  // namespace tavro::plan
