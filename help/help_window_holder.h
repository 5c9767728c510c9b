#pragma once

#include "help/help_window.h"

#include <QPointer>

namespace tavro::ui {

// The program's one help window lives in a holder owned by the main window. The holder
// is empty until the first request and again after the user closed the window through
// its frame (the window deletes itself on close); OK only hides it.
//
// The window has no parent widget, so the window system treats it as a window of its
// own that never has to stay above the main window; the main window closes it with
// closeHelpWindow() when it closes itself.

// Creates the window if the holder is empty (its load step runs then) and centres it on
// the primary screen; then shows, raises and activates it. A window that exists keeps
// its topic and scroll position, whether it was hidden or visible.
HelpWindow* showHelpWindow(QPointer<HelpWindow>& holder);

// Destroys the window at once, if there is one, and leaves the holder empty.
void closeHelpWindow(QPointer<HelpWindow>& holder);

}  // namespace tavro::ui
