#pragma once

#include "mainwindow/form1.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// What a message box showed while it was open.
struct SeenBox {
    bool shown = false;
    QString title;
    QString text;
    bool plainOk = false;  // one OK button, no icon on the box or the button
};

// Runs `action`, answering the first modal message box it opens by clicking its OK
// button. `whileOpen` runs once with the box on screen, before it is answered.
inline SeenBox answerMessageBoxDuring(const std::function<void()>& action,
                                      const std::function<void()>& whileOpen = {})
{
    SeenBox seen;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        poll.stop();
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        seen = {true, box->windowTitle(), box->text(),
                box->icon() == QMessageBox::NoIcon && box->buttons().size() == 1 && ok != nullptr
                    && ok->icon().isNull()};
        if (whileOpen)
            whileOpen();
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    poll.start();
    action();
    return seen;
}

// The main window as a user meets it, with the beat clock driven by the test (a fake
// monotonic clock, expiries delivered on demand) and the beeps counted.
class Form1Test : public ::testing::Test {
protected:
    using Clock = tavro::playback::BeatClock;

    Form1Test()
        : form(services())
    {
    }

    void SetUp() override
    {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    template <class T = QWidget>
    T* child(const char* name) const
    {
        T* widget = form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QString boxText(const char* name) const { return child<QLineEdit>(name)->text(); }
    QString label(const char* name) const { return child<QLabel>(name)->text(); }
    QAction* item(const char* name) const { return child<QAction>(name); }

    // Replaces the text of a box by typing, as a user would.
    void type(const char* name, const QString& text) const
    {
        QLineEdit* edit = child<QLineEdit>(name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    void click(const char* name) const { QTest::mouseClick(child(name), Qt::LeftButton); }

    // Clicks a button that must not open a message box.
    void clickQuietly(const char* name) const
    {
        const SeenBox seen = answerMessageBoxDuring([&] { click(name); });
        EXPECT_FALSE(seen.shown) << qPrintable(seen.text);
    }

    // Delivers `count` expiries of Timer1, each arriving `late` after its deadline.
    void tick(int count = 1, std::chrono::milliseconds late = std::chrono::milliseconds(0))
    {
        for (int i = 0; i < count; ++i) {
            now = form.timer1().nextDeadline() + late;
            form.timer1().expire();
        }
    }

    // The six value labels: speed, bar, bar total, beat, repeat, repeat total.
    std::vector<QString> status() const
    {
        return {label("speedlabel"), label("barlabel"),    label("bartotallabel"),
                label("beatlabel"),  label("repeatlabel"), label("repeattotallabel")};
    }

    std::vector<bool> volumeChecks() const
    {
        return {item("mnuhigh")->isChecked(), item("mnumedium")->isChecked(),
                item("mnulow")->isChecked()};
    }

    int beeps = 0;
    Clock::time_point now = Clock::time_point(std::chrono::hours(1));
    tavro::ui::Form1 form;

private:
    tavro::ui::Form1Services services()
    {
        return {.beep = [this] { ++beeps; },
                .timerDelivery = tavro::playback::BeatTimer::Delivery::Manual,
                .clock = [this] { return now; },
                .sound = tavro::playback::ClickPlayer::Output::SystemBell};
    }
};
