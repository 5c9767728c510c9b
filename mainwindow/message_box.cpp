#include "mainwindow/message_box.h"

#include "toolkit/fonts.h"

#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace tavro::ui {

QString displayText(const std::string& text)
{
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

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
    box->show();
}

}  // namespace tavro::ui
