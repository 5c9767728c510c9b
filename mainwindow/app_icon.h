#pragma once

#include <QIcon>

namespace tavro::ui {

// The program's icon, drawn from the SVG built into the program.
QIcon appIcon();

}  // namespace tavro::ui
