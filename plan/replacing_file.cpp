#include "plan/replacing_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace tavro::plan {

namespace {

// The temporary file of the one ReplacingFile at work, for the signal handler, which
// may only make async-signal-safe calls.
char pendingPath[4096];
volatile std::sig_atomic_t pending = 0;

constexpr int kCleanedUpSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction savedActions[std::size(kCleanedUpSignals)];
struct sigaction savedFileSizeAction;

extern "C" void removePendingAndDie(int signal)
{
    if (pending)
        unlink(pendingPath);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

struct sigaction actionOf(void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    return action;
}

// A signal the program was started to ignore (nohup) stays ignored.
void watchSignals()
{
    const struct sigaction cleanUp = actionOf(removePendingAndDie);
    for (std::size_t i = 0; i < std::size(kCleanedUpSignals); ++i) {
        sigaction(kCleanedUpSignals[i], nullptr, &savedActions[i]);
        if (savedActions[i].sa_handler != SIG_IGN)
            sigaction(kCleanedUpSignals[i], &cleanUp, nullptr);
    }
    const struct sigaction ignore = actionOf(SIG_IGN);
    sigaction(SIGXFSZ, &ignore, &savedFileSizeAction);
}

void unwatchSignals()
{
    for (std::size_t i = 0; i < std::size(kCleanedUpSignals); ++i)
        sigaction(kCleanedUpSignals[i], &savedActions[i], nullptr);
    sigaction(SIGXFSZ, &savedFileSizeAction, nullptr);
}

std::string folderOf(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

}  // namespace

ReplacingFile::ReplacingFile(std::string path)
    : path_(std::move(path))
{
    temporary_ =
        folderOf(path_) + "/." + std::filesystem::path(path_).filename().string() + ".XXXXXX";
    if (temporary_.size() >= sizeof pendingPath)
        fail(ENAMETOOLONG);
    std::memcpy(pendingPath, temporary_.c_str(), temporary_.size() + 1);
    watchSignals();
    watching_ = true;
    // Pending before the file exists: a signal in between removes a name not yet taken.
    pending = 1;
    fd_ = mkstemp(pendingPath);
    if (fd_ < 0) {
        const int error = errno;
        pending = 0;  // the name may be another file's
        fail(error);
    }
    temporary_ = pendingPath;
    // mkstemp makes the file private; a written file gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd_, 0666 & ~mask) != 0)
        fail(errno);
}

ReplacingFile::~ReplacingFile() { discard(); }

void ReplacingFile::write(const void* bytes, std::size_t count)
{
    const char* next = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t written = ::write(fd_, next, count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail(written < 0 ? errno : ENOSPC);
        next += written;
        count -= static_cast<std::size_t>(written);
    }
}

void ReplacingFile::commit()
{
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0)
        fail(errno);
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0)
        fail(errno);
    pending = 0;
    discard();
}

void ReplacingFile::fail(int error)
{
    discard();
    throw FileError("cannot write '" + path_ + "': " + std::strerror(error));
}

void ReplacingFile::discard()
{
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (pending) {
        pending = 0;
        unlink(temporary_.c_str());
    }
    if (watching_) {
        watching_ = false;
        unwatchSignals();
    }
}

}  // namespace tavro::plan
