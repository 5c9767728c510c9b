#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tavro::ui {

// A request from outside to end the process (SIGTERM when the desktop session logs out,
// SIGHUP when the session goes away, SIGINT from a terminal) ends the program the way
// QUIT does: windows closed, sound stream closed, exit code 0, instead of the default
// action that kills the process in the middle of whatever it was doing.
//
// The signal handler only writes a byte into a pipe, which is all a handler may safely
// do; the event loop reads it and runs the end of the program on the user-interface
// thread, between two handlers, as it runs any other event.

// Call first thing in main(): from then on those signals are held as requests.
void holdTerminationRequests();

// Calls `end` from the event loop once for every burst of requests, including those
// that arrived before it existed. Create it once the event loop can be run; while it
// lives, requests do not end the process by themselves.
class TerminationListener : public QObject {
public:
    explicit TerminationListener(std::function<void()> end, QObject* parent = nullptr);

private:
    void takeRequests();

    std::function<void()> end_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tavro::ui
