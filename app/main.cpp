#include "app/termination.h"
#include "generated/project_info.h"
#include "mainwindow/app_icon.h"
#include "mainwindow/form1.h"

#include <QApplication>

#include <string_view>

int main(int argc, char* argv[])
{
    // Before anything else, so that a logout during start-up ends the program cleanly too.
    tavro::ui::holdTerminationRequests();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(
        tavro::project::kAppName.data(), static_cast<qsizetype>(tavro::project::kAppName.size())));
    // The desktop entry is installed under this id, so the desktop finds the window's
    // entry and icon by it.
    constexpr std::string_view appId = tavro::project::kAppId;
    QApplication::setDesktopFileName(
        QString::fromLatin1(appId.data(), static_cast<qsizetype>(appId.size())));
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
