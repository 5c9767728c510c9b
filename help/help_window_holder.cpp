#include "help/help_window_holder.h"

#include "toolkit/window_placement.h"

namespace tavro::ui {

HelpWindow* showHelpWindow(QPointer<HelpWindow>& holder)
{
    if (holder.isNull()) {
        holder = new HelpWindow();
        holder->setAttribute(Qt::WA_DeleteOnClose);
        centreOnPrimaryScreen(*holder);
    }
    holder->show();
    holder->raise();
    holder->activateWindow();
    return holder.data();
}

void closeHelpWindow(QPointer<HelpWindow>& holder)
{
    // Deleted right away rather than later, so nothing is left over when the main
    // window's closing ends the event loop.
    delete holder.data();
    holder.clear();
}

}  // namespace tavro::ui
