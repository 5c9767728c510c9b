#include "mainwindow/app_icon.h"
#include "mainwindow/form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavro Metronome"));
    QApplication::setDesktopFileName(QStringLiteral("tavro-metronome"));
    QApplication::setWindowIcon(tavro::ui::appIcon());

    // The load step has run by the time the constructor returns; the window is then
    // shown where the program placed it, in the middle of the screen.
    tavro::ui::Form1 form;
    QObject::connect(&form, &tavro::ui::Form1::programEnded, &app,
                     [] { QCoreApplication::exit(0); });
    form.show();
    return QApplication::exec();
}
