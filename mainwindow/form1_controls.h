#pragma once

#include "engine/window_ops.h"

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace tavro::ui {

// The controls of the main window's client area, placed at their design positions.
// Arrays are indexed by the engine's enums (Box, Option, StatusLabel).
struct Form1Controls {
    QGroupBox* Frame1 = nullptr;  // Timing
    QGroupBox* Frame2 = nullptr;  // Increase Type
    QGroupBox* Frame3 = nullptr;  // Bar Information
    QGroupBox* Frame4 = nullptr;  // Beat Information
    QGroupBox* Frame5 = nullptr;  // Current Status

    std::array<QLineEdit*, 7> boxes{};
    std::array<QRadioButton*, 5> options{};
    std::array<QLabel*, 6> statusLabels{};

    QPushButton* Command1 = nullptr;  // QUIT
    QPushButton* Command2 = nullptr;  // START
    QPushButton* Command3 = nullptr;  // STOP
    QPushButton* Command4 = nullptr;  // PAUSE

    QLineEdit* box(Box which) const { return boxes.at(static_cast<std::size_t>(which)); }
    QRadioButton* option(Option which) const { return options.at(static_cast<std::size_t>(which)); }
    QLabel* statusLabel(StatusLabel which) const
    {
        return statusLabels.at(static_cast<std::size_t>(which));
    }
};

// Creates every control of the client area in its design state: at its place in
// kForm1Layout, with its caption, the default settings' texts and choices, fonts,
// colours, borders, accessible names and the Tab order. Positions never change
// afterwards: the client area has no layout, so resizing the window moves nothing.
Form1Controls buildForm1Controls(QWidget* client);

}  // namespace tavro::ui
