#include "mainwindow/status_announcer.h"

#include "toolkit/accessible_role.h"

#include <QAccessible>
#include <QTimer>
#include <QWidget>

namespace tavro::ui {

StatusAnnouncer::StatusAnnouncer(QWidget* window)
    : QObject(window),
      notification_(new QWidget(window)),
      due_(new QTimer(this))
{
    notification_->setObjectName(QStringLiteral("announcement"));
    setAccessibleRole(notification_, QAccessible::Notification);
    notification_->setFocusPolicy(Qt::NoFocus);
    notification_->setAttribute(Qt::WA_TransparentForMouseEvents);
    notification_->setGeometry(0, 0, 0, 0);
    due_->setSingleShot(true);
    connect(due_, &QTimer::timeout, this, &StatusAnnouncer::announce);
    clock_.start();
}

void StatusAnnouncer::runStarted(std::vector<std::string> topSpeeds)
{
    speech_.runStarted(std::move(topSpeeds));
}

void StatusAnnouncer::shown(StatusLabel label, const std::string& caption)
{
    speech_.shown(label, caption, clock_.elapsed());
    schedule();
}

// After the beat's other captions, which follow in the same event.
void StatusAnnouncer::schedule()
{
    const std::optional<std::int64_t> due = speech_.dueAt();
    if (!due) {
        due_->stop();
        return;
    }
    const auto wait = std::max<std::int64_t>(0, *due - clock_.elapsed());
    if (!due_->isActive() || due_->remainingTime() > wait)
        due_->start(static_cast<int>(wait));
}

void StatusAnnouncer::announce()
{
    const std::optional<std::string> said = speech_.take(clock_.elapsed());
    if (!said) {
        schedule();
        return;
    }
    notification_->setAccessibleName(QString::fromStdString(*said));
    QAccessibleEvent shown(notification_, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

}  // namespace tavro::ui
