#pragma once

#include "help/help_texts.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QPushButton;
class QScrollBar;

namespace tavro::ui {

class TwipsLabel;

// The help window "frmTip": five topic buttons, a white panel showing the topic's
// title and text, a scroll bar that moves title and text together inside the panel,
// and OK, which hides the window. Its load step runs in the constructor, so a new
// window always opens on the Overview topic scrolled to the top.
//
// Invariant: as long as only the scroll bar moves the labels, lastscroll equals the
// scroll bar's value and the labels stand at their design tops raised by that value.
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);

    const HelpTexts& texts() const { return texts_; }
    std::int16_t lastScroll() const { return lastscroll_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void setTabOrder();
    void connectHandlers();

    void Form_Load();
    void showTopic(const HelpTopic& topic);
    void Command7_Click();
    void VScroll1_Change();

    std::array<QPushButton*, kHelpTopics.size()> topicButtons_{};  // as kHelpTopics
    QPushButton* Command7_ = nullptr;
    QWidget* Picture1_ = nullptr;
    TwipsLabel* Label1_ = nullptr;
    TwipsLabel* lblTipText_ = nullptr;
    QScrollBar* VScroll1_ = nullptr;

    HelpTexts texts_;

    // Scroll state. labeltop and titletop are written before they are read.
    float labeltop_ = 0.0F;
    float titletop_ = 0.0F;
    std::int16_t scrolldelta_ = 0;
    std::int16_t scrollvalue_ = 0;
    std::int16_t lastscroll_ = 0;
};

}  // namespace tavro::ui
