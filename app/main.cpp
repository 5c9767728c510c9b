#include "app/termination.h"
#include "mainwindow/app_icon.h"
#include "mainwindow/form1.h"
#include "packaging/app_identity.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Before anything else, so that a logout during start-up ends the program cleanly too.
    tavro::ui::holdTerminationRequests();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(tavro::app::kAppName));
    QApplication::setDesktopFileName(QString::fromLatin1(tavro::app::kAppId));
    QApplication::setWindowIcon(tavro::ui::appIcon());

    // The load step has run by the time the constructor returns; the window is then
    // shown where the program placed it, in the middle of the screen.
    tavro::ui::Form1 form;
    QObject::connect(&form, &tavro::ui::Form1::programEnded, &app,
                     [] { QCoreApplication::exit(0); });
    // Logging out closes the main window, which ends the program as QUIT does.
    tavro::ui::TerminationListener termination([&form] { form.close(); });
    form.show();
    return QApplication::exec();
}
