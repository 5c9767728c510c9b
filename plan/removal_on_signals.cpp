#include "plan/removal_on_signals.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace tavro::plan {

namespace {

// The made file's name, for the handler, which may only make async-signal-safe calls.
char pendingPath[PATH_MAX];
volatile std::sig_atomic_t pending = 0;
volatile std::sig_atomic_t lineOpen = 0;
int handlerUsers = 0;  // the first installs the handlers, the last restores what was before

sigset_t caught;  // the signals that clean up before they end the program
struct sigaction savedActions[NSIG];
struct sigaction savedFileSizeAction;

bool endsTheProgram(int signal)
{
    switch (signal) {
    case SIGCHLD:
    case SIGCONT:
    case SIGSTOP:
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
    case SIGURG:
    case SIGWINCH: return false;
    default: return true;
    }
}

extern "C" void cleanUpAndDie(int signal)
{
    if (lineOpen) {
        const ssize_t ended = write(STDERR_FILENO, "\n", 1);
        (void)ended;  // nothing else to do when it fails
    }
    if (pending)
        unlink(pendingPath);
    // Raised again with the default action, which ends the program as soon as this
    // handler returns and the signal is no longer blocked.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Blocks the caught signals while it exists.
class SignalsHeld {
public:
    SignalsHeld() { sigprocmask(SIG_BLOCK, &caught, &before_); }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &before_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before_;
};

void installHandlers()
{
    if (handlerUsers++ > 0)
        return;
    sigemptyset(&caught);
    // SIGKILL cannot be caught (sigaction refuses it, like the signals the C library
    // keeps for itself); SIGXFSZ is ignored below.
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGXFSZ && endsTheProgram(signal)
            && sigaction(signal, nullptr, &savedActions[signal]) == 0
            && savedActions[signal].sa_handler == SIG_DFL)
            sigaddset(&caught, signal);
    }
    struct sigaction removing {};
    removing.sa_handler = cleanUpAndDie;
    removing.sa_mask = caught;  // one handler at a time
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&caught, signal) == 1 && sigaction(signal, &removing, nullptr) != 0)
            sigdelset(&caught, signal);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &savedFileSizeAction);
}

void restoreHandlers()
{
    if (--handlerUsers > 0)
        return;
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&caught, signal) == 1)
            sigaction(signal, &savedActions[signal], nullptr);
    }
    sigaction(SIGXFSZ, &savedFileSizeAction, nullptr);
}

}  // namespace

RemovalOnSignals::RemovalOnSignals() { installHandlers(); }

RemovalOnSignals::~RemovalOnSignals()
{
    remove();
    restoreHandlers();
}

int RemovalOnSignals::makeFile(std::string& pattern)
{
    if (pattern.size() >= sizeof pendingPath) {
        errno = ENAMETOOLONG;
        return -1;
    }
    int fd = -1;
    int error = 0;
    {
        const SignalsHeld held;
        std::memcpy(pendingPath, pattern.c_str(), pattern.size() + 1);
        fd = mkstemp(pendingPath);
        error = errno;
        pending = fd >= 0;
    }
    if (fd >= 0)
        pattern = pendingPath;
    errno = error;
    return fd;
}

int RemovalOnSignals::renameTo(const std::string& path)
{
    const SignalsHeld held;
    if (std::rename(pendingPath, path.c_str()) != 0)
        return errno;
    pending = 0;
    return 0;
}

void RemovalOnSignals::remove()
{
    const SignalsHeld held;
    if (pending)
        unlink(pendingPath);
    pending = 0;
}

LineEndOnSignals::LineEndOnSignals() { installHandlers(); }

LineEndOnSignals::~LineEndOnSignals()
{
    lineOpen = 0;
    restoreHandlers();
}

void LineEndOnSignals::setOpen(bool open) { lineOpen = open; }

}  // namespace tavro::plan
