#include "mainwindow/qt_window_ops.h"

#include "mainwindow/message_box.h"
#include "mainwindow/status_speech.h"
#include "playback/beat_timer.h"
#include "toolkit/display_text.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace tavro::ui {

QtWindowOps::QtWindowOps(const Form1Controls& controls, const std::array<QAction*, 3>& volumeItems,
                         playback::BeatTimer& timer, QWidget* dialogParent, Services services)
    : controls_(controls),
      volumeItems_(volumeItems),
      timer_(timer),
      dialogParent_(dialogParent),
      services_(std::move(services))
{
    for (StatusLabel label : {StatusLabel::Speed, StatusLabel::Bar, StatusLabel::BarTotal,
                              StatusLabel::Beat, StatusLabel::Repeat, StatusLabel::RepeatTotal})
        nameStatusLabel(label);
}

std::string QtWindowOps::boxText(Box box) const { return controls_.box(box)->text().toStdString(); }

void QtWindowOps::setBoxText(Box box, const std::string& text)
{
    controls_.box(box)->setText(QString::fromStdString(text));
}

bool QtWindowOps::optionOn(Option option) const { return controls_.option(option)->isChecked(); }

namespace {

// The bar and the pass are named with their totals ("Bar 2 of 4"), and the totals alone.
StatusLabel totalOf(StatusLabel label)
{
    switch (label) {
    case StatusLabel::Bar: return StatusLabel::BarTotal;
    case StatusLabel::Repeat: return StatusLabel::RepeatTotal;
    default: return label;
    }
}

}  // namespace

void QtWindowOps::nameStatusLabel(StatusLabel label)
{
    QLabel* shown = controls_.statusLabel(label);
    const std::string total = controls_.statusLabel(totalOf(label))->text().toStdString();
    shown->setAccessibleName(
        QString::fromStdString(spokenStatus(label, shown->text().toStdString(), total)));
}

void QtWindowOps::setLabelCaption(StatusLabel label, const std::string& caption)
{
    if (services_.captionShown)
        services_.captionShown(label, caption);
    // Every beat writes every caption, most of them unchanged: those cost nothing.
    QLabel* shown = controls_.statusLabel(label);
    const QString text = displayText(caption);
    if (shown->text() == text)
        return;
    shown->setText(text);
    // A screen reader reads the name: it says what the value is, and follows it.
    nameStatusLabel(label);
    if (label == StatusLabel::BarTotal)
        nameStatusLabel(StatusLabel::Bar);
    if (label == StatusLabel::RepeatTotal)
        nameStatusLabel(StatusLabel::Repeat);
}

void QtWindowOps::setVolumeChecked(VolumeItem item, bool checked)
{
    volumeItems_.at(static_cast<std::size_t>(item))->setChecked(checked);
}

std::int32_t QtWindowOps::timerInterval() const { return timer_.interval(); }

void QtWindowOps::setTimerInterval(std::int32_t milliseconds) { timer_.setInterval(milliseconds); }

void QtWindowOps::messageBox(const std::string& text, const std::string& title)
{
    showMessageBox(dialogParent_, text, title);
}

void QtWindowOps::beep() { services_.beep(); }

void QtWindowOps::endProgram() { services_.endProgram(); }

}  // namespace tavro::ui
