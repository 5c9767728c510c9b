#pragma once

#include <cstddef>
#include <ostream>
#include <streambuf>

namespace tavro::plan {

// Writes all `count` bytes to `fd`, going on after a signal interrupts a write. Gives 0,
// or the errno of the write that failed (ENOSPC for one that took no byte).
int writeAll(int fd, const void* bytes, std::size_t count);

// `fd`, moved above the descriptors of the standard streams when it took the place of
// one the program was started without, so that nothing meant for that stream goes to
// the file. Gives the descriptor, or -1 with errno set (`fd` is closed then).
int aboveStandardStreams(int fd);

// A stream buffer on a file descriptor that keeps the reason of its first failed write,
// which a standard stream does not tell: a closed pipe (EPIPE) ends the program quietly,
// any other reason is named in its message.
class DescriptorBuffer : public std::streambuf {
public:
    explicit DescriptorBuffer(int fd);

    // The errno of the first failed write of `out`'s buffer, when it is a DescriptorBuffer;
    // 0 otherwise, or when none failed.
    static int errorOf(const std::ostream& out);

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool drain();

    int fd_;
    int error_ = 0;
    char buffer_[8192];
};

}  // namespace tavro::plan
