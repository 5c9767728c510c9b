#include "app/termination.h"
#include "generated/project_info.h"
#include "mainwindow/app_icon.h"
#include "mainwindow/form1.h"

#include <QApplication>

#include <string_view>

namespace {

// On a Wayland desktop the window is a native Wayland client, with the X server (if the
// desktop runs one) as the fallback; so it is too where Wayland is the only display, where
// the X platform alone would abort. A platform the user chose stands.
void preferWayland()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
        || (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && !qEnvironmentVariableIsSet("DISPLAY")))
        qputenv("QT_QPA_PLATFORM", "wayland;xcb");
}

}  // namespace

int main(int argc, char* argv[])
{
    // Before anything else, so that a logout during start-up ends the program cleanly too.
    tavro::ui::holdTerminationRequests();

    preferWayland();
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
