#include "toolkit/window_placement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace tavro::ui {

// Computed here instead of left to a window manager, which may place new windows
// anywhere or nowhere in particular.
void centreOnPrimaryScreen(QWidget& window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // The frame is what gets centred, and move() places the frame's corner. Its margins
    // are known once the native window exists (where the platform knows them before the
    // window is mapped; otherwise they count as zero and the client area is centred).
    window.winId();
    const QRect available = screen->availableGeometry();
    QRect frame(QPoint(0, 0), window.frameGeometry().size());
    frame.moveCenter(available.center());
    window.move(frame.topLeft());
}

}  // namespace tavro::ui
