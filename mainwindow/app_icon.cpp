#include "mainwindow/app_icon.h"

// Outside any namespace, as Q_INIT_RESOURCE requires. The resource lives in a static
// library, whose initialiser the linker would otherwise drop.
static void initIconResource() { Q_INIT_RESOURCE(tavro_icons); }

namespace tavro::ui {

QIcon appIcon()
{
    initIconResource();
    return QIcon(QStringLiteral(":/icons/tavro-metronome.svg"));
}

}  // namespace tavro::ui
