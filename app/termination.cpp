#include "termination.h"

#include <QSocketNotifier>
#include <QtDebug>

#include <array>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace tavro::ui {

namespace {

constexpr std::array<int, 3> kRequests{SIGTERM, SIGHUP, SIGINT};

// The pipe's read end is watched by the event loop; -1 until it exists.
int requestPipe[2] = {-1, -1};

extern "C" void holdRequest(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // When the pipe is full a request is already waiting; this one adds nothing.
    [[maybe_unused]] const ssize_t written = ::write(requestPipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

void holdTerminationRequests()
{
    if (requestPipe[0] >= 0)
        return;
    if (::pipe2(requestPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("tavro: no pipe for termination requests; the default action applies");
        return;
    }
    struct sigaction action {};
    action.sa_handler = holdRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // a request never interrupts a system call in progress
    for (int request : kRequests)
        ::sigaction(request, &action, nullptr);
}

TerminationListener::TerminationListener(std::function<void()> end, QObject* parent)
    : QObject(parent),
      end_(std::move(end))
{
    holdTerminationRequests();
    if (requestPipe[0] < 0)
        return;
    notifier_ = new QSocketNotifier(requestPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TerminationListener::takeRequests);
}

void TerminationListener::takeRequests()
{
    char bytes[64];
    while (::read(requestPipe[0], bytes, sizeof bytes) > 0) {
    }
    end_();
}

}  // namespace tavro::ui
