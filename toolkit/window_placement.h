#pragma once

class QWidget;

namespace tavro::ui {

// Places a top-level widget, frame included, in the middle of the primary screen's
// available area.
void centreOnPrimaryScreen(QWidget& window);

}  // namespace tavro::ui
