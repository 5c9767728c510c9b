#include "mainwindow/message_box.h"

#include "toolkit/display_text.h"
#include "toolkit/fonts.h"

#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <memory>

namespace tavro::ui {

namespace {

QMessageBox* plainBox(QWidget* parent, const QString& title, const QString& text)
{
    auto* box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("messageBox"));
    box->setFont(dialogFont());
    box->setIcon(QMessageBox::NoIcon);
    box->setWindowTitle(title);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    box->setStandardButtons(QMessageBox::Ok);
    // Some styles decorate dialog buttons with icons; this box shows none at all.
    box->button(QMessageBox::Ok)->setIcon(QIcon());
    return box;
}

// Below the window, else above it, else to its right: anywhere but over its controls.
QPoint besideWindow(const QWidget& window, const QSize& size)
{
    const QRect frame = window.frameGeometry();
    const QScreen* screen = window.screen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : QRect();
    const int gap = 8;
    const QPoint candidates[] = {
        {frame.left(), frame.bottom() + gap},
        {frame.left(), frame.top() - gap - size.height()},
        {frame.right() + gap, frame.top()},
    };
    for (const QPoint& at : candidates) {
        if (room.isEmpty() || room.contains(QRect(at, size)))
            return at;
    }
    return candidates[0];
}

}  // namespace

void showMessageBox(QWidget* parent, const std::string& text, const std::string& title)
{
    std::unique_ptr<QMessageBox> box(
        plainBox(parent, QString::fromStdString(title), displayText(text)));
    box->setWindowModality(Qt::ApplicationModal);
    box->exec();
}

void showNotice(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox* box = plainBox(parent, title, text);
    box->setObjectName(QStringLiteral("notice"));
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->adjustSize();
    if (parent != nullptr)
        box->move(besideWindow(*parent, box->frameGeometry().size()));
    box->show();
}

}  // namespace tavro::ui
