#pragma once

#include "mainwindow/status_speech.h"

#include <QElapsedTimer>
#include <QObject>

class QTimer;
class QWidget;

namespace tavro::ui {

// Says to a screen reader what StatusSpeech decides, through an object of the role
// "notification" in the window: it is never drawn (no size) and never focused, its name
// is the announcement, and it is shown anew for each one. Screen readers speak a
// notification that shows, where they ignore a label's new name.
class StatusAnnouncer : public QObject {
public:
    explicit StatusAnnouncer(QWidget* window);

    void runStarted(std::vector<std::string> topSpeeds);
    void shown(StatusLabel label, const std::string& caption);

    const QWidget* notification() const { return notification_; }

private:
    void schedule();
    void announce();

    QWidget* notification_;
    QTimer* due_;
    QElapsedTimer clock_;
    StatusSpeech speech_;
};

}  // namespace tavro::ui
