#include "mainwindow/message_box.h"

#include "toolkit/fonts.h"

#include <QMessageBox>
#include <QPushButton>

namespace tavro::ui {

QString displayText(const std::string& text)
{
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void showMessageBox(QWidget* parent, const std::string& text, const std::string& title)
{
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setFont(dialogFont());
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(QString::fromStdString(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(displayText(text));
    box.setStandardButtons(QMessageBox::Ok);
    // Some styles decorate dialog buttons with icons; this box shows none at all.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

}  // namespace tavro::ui
