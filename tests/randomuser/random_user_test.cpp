#include "engine/metronome.h"
#include "help/help_window.h"
#include "mainwindow/form1.h"
#include "tests/support/label_text.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <random>

// A user who clicks everything, in every state of the program: random texts typed and
// pasted into the boxes, every button, option and menu item, the help window's buttons,
// scroll bar and close box, and beats of the clock in between, with every message box
// answered. The windows' invariants are checked after every action.
//
//   TAVRO_RANDOMUSER_SEED     replays a run (the seed is printed when it fails)
//   TAVRO_RANDOMUSER_ACTIONS  how many actions (20000 by default)
namespace {

using namespace tavro;
using namespace tavro::playback;
using namespace tavro::ui;
using Rng = std::mt19937_64;

constexpr std::array<const char*, 5> kTopicButtons{"cmdNextTip", "Command1", "Command2", "Command5",
                                                   "Command4"};
constexpr std::array<const char*, 3> kVolumeItems{"mnuhigh", "mnumedium", "mnulow"};
constexpr std::array<int, 3> kVolumeBeeps{15, 8, 2};
// The range START checks each box against, in Box order.
constexpr std::array<std::array<int, 2>, 7> kBounds{
    {{1, 999}, {0, 8}, {1, 999}, {30, 250}, {60, 350}, {1, 40}, {10, 60}}};

int uniform(Rng& rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}

// A text a user might type or paste into a box: a bound or just beside it in the
// spellings the number reading must cope with, an in-range number, the empty text, a
// huge text, non-ASCII letters and digits, control characters or number-like garbage.
QString randomBoxText(Rng& rng, Box box)
{
    const auto [lower, upper] = kBounds[std::size_t(box)];
    const int kind = uniform(rng, 0, 99);
    if (kind < 40) {
        static const std::array<double, 7> offsets{0, 0, 1, -1, 0.5, -0.1, 0.01};
        const double near =
            (uniform(rng, 0, 1) ? upper : lower) + offsets[std::size_t(uniform(rng, 0, 6))];
        const QString n = QString::number(near, 'g', 12);
        static const std::array<const char*, 6> spellings{"%1",      "  %1", "+%1",
                                                          "%1 bars", "%1e0", "00%1."};
        return QString::fromLatin1(spellings[std::size_t(uniform(rng, 0, 5))]).arg(n);
    }
    if (kind < 65)
        return QString::number(uniform(rng, lower, upper));
    if (kind < 70)
        return {};
    if (kind < 73)
        return kind % 2 ? QString(100'000, QLatin1Char('9'))
                        : QStringLiteral("1e") + QString(100'000, QLatin1Char('9'));
    if (kind < 81) {
        static const std::array<const char*, 6> texts{"\xef\xbc\x96\xef\xbc\x90",
                                                      "\xd9\xa3\xd9\xa0",
                                                      "60\xf0\x9f\x98\x80",  // fullwidth 60,
                                                      "\xe2\x88\x92"
                                                      "5",
                                                      "60\xe2\x80\x8b",
                                                      "\xe4\xb8\x89\xe5\x8d\x81"};  // Arabic 30...
        return QString::fromUtf8(texts[std::size_t(uniform(rng, 0, 5))]);
    }
    static const QString kChars = QStringLiteral("0123456789.+-eE ,x\t\n\r\x01\x1b\x7f");
    QString text;
    for (int i = uniform(rng, 0, 12); i > 0; --i)
        text += kChars[uniform(rng, 0, kind < 89 ? 23 : 17)];  // control characters, or not
    if (kind < 89)
        text += QChar(0);
    return text;
}

void processEvents()
{
    QCoreApplication::processEvents();
    // A window closed with WA_DeleteOnClose goes, as it does between two user actions.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int countTopLevel(const QMetaObject& type)
{
    const QWidgetList all = QApplication::topLevelWidgets();
    return int(std::count_if(all.begin(), all.end(),
                             [&](QWidget* w) { return w->inherits(type.className()); }));
}

// One program from start to end: the main window on a fake clock whose beats the user
// delivers, the beeps counted, and a model of the run state and volume it must show.
class Session {
public:
    Session(Rng& rng, std::array<int, 3>& actionsIn)
        : rng_(rng),
          actionsIn_(actionsIn),
          form_(services())
    {
        QObject::connect(&form_, &Form1::programEnded, [this] { ++ended_; });
        form_.show();
        processEvents();
    }

    void act()
    {
        ++actionsIn_[std::size_t(model_)];
        now_ += std::chrono::milliseconds(uniform(rng_, 0, 40));  // the user takes a moment
        randomAction();
        processEvents();
        checkWindows();
    }

    // QUIT, the main window's close box, or the program's end with its windows as they are.
    void end()
    {
        const int how = uniform(rng_, 0, 2);
        if (how == 0)
            expect(!clickAnswering(controls().Command1), "QUIT opened a box");
        if (how == 1)
            form_.close();
        processEvents();
        if (how < 2)
            expect(ended_ == 1 && !form_.isVisible() && !form_.timer1().isActive()
                       && countTopLevel(HelpWindow::staticMetaObject) == 0,
                   "the program did not end with all its windows and its clock");
    }

    std::string problem;  // the first invariant broken
    int accepted = 0, refused = 0;

private:
    Form1Services services()
    {
        Form1Services s;
        s.beep = [this] { ++beeps_; };
        s.timerDelivery = BeatTimer::Delivery::Manual;
        s.clock = [this] { return now_; };
        s.sound = ClickPlayer::Output::SystemBell;
        return s;
    }

    void expect(bool ok, const std::string& what)
    {
        if (!ok && problem.empty())
            problem = what;
    }

    const MetronomeState& state() const { return form_.metronome().state(); }
    const Form1Controls& controls() const { return form_.controls(); }
    bool option(Option o) const { return controls().option(o)->isChecked(); }
    QAction* item(const char* name) const
    {
        return form_.findChild<QAction*>(QString::fromLatin1(name));
    }
    template <class T = QWidget>
    T* help(const char* name) const
    {
        return form_.helpWindow()->findChild<T*>(QString::fromLatin1(name));
    }

    void randomAction()
    {
        const bool helpShown = form_.helpWindow() != nullptr && form_.helpWindow()->isVisible();
        const int r = uniform(rng_, 0, helpShown ? 99 : 87);
        if (r < 25)
            type();
        else if (r < 35)
            QTest::mouseClick(controls().options[std::size_t(uniform(rng_, 0, 4))], Qt::LeftButton);
        else if (r < 44)
            start();
        else if (r < 47)
            startWithAcceptedSettings();
        else if (r < 51) {
            expect(!clickAnswering(controls().Command3), "STOP opened a box");
            model_ = RunState::Stopped;
        } else if (r < 57) {
            const bool shown = clickAnswering(controls().Command4);
            expect(shown == (model_ == RunState::Stopped),
                   "PAUSE's message was wrong for the state");
            if (model_ != RunState::Stopped)
                model_ = model_ == RunState::Running ? RunState::Paused : RunState::Running;
        } else if (r < 79) {
            // One beat, a burst of them, or now and then one handled after a stall.
            const int k = uniform(rng_, 0, 99);
            const int late = k < 95 ? 0 : uniform(rng_, 0, 3 * form_.timer1().interval());
            for (int i = k < 70 || k >= 95 ? 1 : uniform(rng_, 2, 64); i > 0; --i)
                tick(std::chrono::milliseconds(late));
        } else if (r < 84) {
            volume_ = std::size_t(uniform(rng_, 0, 2));
            expect(!answering([&] { item(kVolumeItems[volume_])->trigger(); }),
                   "a Volume item opened a box");
        } else if (r < 87) {
            expect(!answering([&] { item("mnuinstruct")->trigger(); }) && form_.helpWindow()
                       && form_.helpWindow()->isVisible(),
                   "Instructions did not show the help window");
        } else if (r < 88) {
            expect(answering([&] { item("mnuabout")->trigger(); }), "About showed no box");
        } else if (r < 93) {
            QTest::mouseClick(help(kTopicButtons[std::size_t(uniform(rng_, 0, 4))]),
                              Qt::LeftButton);
        } else if (r < 98) {
            auto* bar = help<QScrollBar>("VScroll1");
            const int how = uniform(rng_, 1, 7);  // the arrows, the trough, the ends or a drag
            if (how < 7)
                bar->triggerAction(QAbstractSlider::SliderAction(how));
            bar->setSliderDown(how == 7);
            bar->setSliderPosition(how == 7 ? uniform(rng_, -100, 5100) : bar->sliderPosition());
            bar->setSliderDown(false);
        } else if (r < 99) {
            QTest::mouseClick(help("Command7"), Qt::LeftButton);
            expect(!form_.helpWindow()->isVisible(), "OK did not hide help");
        } else {
            form_.helpWindow()->close();
            processEvents();
            expect(form_.helpWindow() == nullptr, "the closed help window is still held");
        }
    }

    // Replaces or extends a box's text, typed key by key or pasted at once.
    void type()
    {
        const Box which = Box(uniform(rng_, 0, 6));
        const QString text = randomBoxText(rng_, which);
        QLineEdit* edit = controls().box(which);
        edit->setFocus();
        uniform(rng_, 0, 3) ? edit->selectAll() : edit->end(false);
        const bool keys = text.size() <= 40 && uniform(rng_, 0, 1)
                          && std::all_of(text.begin(), text.end(), [](QChar c) {
                                 return c.unicode() >= 0x20 && c.unicode() < 0x7f;
                             });
        if (keys && text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        keys ? QTest::keyClicks(edit, text) : edit->insert(text);
    }

    void start()
    {
        const auto before = runValues(state());
        const std::int32_t intervalBefore = form_.timer1().interval();
        const bool refusedNow = clickAnswering(controls().Command2);
        // The two option choices go into the state even when the settings are refused.
        const int beats = option(Option::FourFour) ? 4 : option(Option::ThreeFour) ? 3 : 2;
        expect(state().beatsperbar == beats && state().linearmode == option(Option::IncLinear),
               "START did not take the time signature and the increase type");
        if (refusedNow) {
            ++refused;
            expect(runValues(seenState_) == before && seenInterval_ == intervalBefore,
                   "a refused START changed a run value");
            return;
        }
        ++accepted;
        model_ = RunState::Running;
        const std::int32_t interval = form_.timer1().interval();
        expect(state().beat == 0 && interval >= 240 && interval <= 2000,
               "an accepted START set a wrong beat or interval");
    }

    // In-range settings that START must accept: the maximum speed above the starting
    // speed, the skip increase above the linear one; short pieces so steps come soon.
    void startWithAcceptedSettings()
    {
        const int from = uniform(rng_, 30, 249), linear = uniform(rng_, 1, 39);
        const std::array<int, 7> settings{uniform(rng_, 1, 3),
                                          uniform(rng_, 0, 2),
                                          uniform(rng_, 1, 2),
                                          from,
                                          uniform(rng_, std::max(from + 1, 60), 350),
                                          linear,
                                          uniform(rng_, std::max(linear + 1, 10), 60)};
        for (std::size_t i = 0; i < settings.size(); ++i) {
            controls().boxes[i]->setFocus();
            controls().boxes[i]->selectAll();
            QTest::keyClicks(controls().boxes[i], QString::number(settings[i]));
        }
        start();
        expect(model_ == RunState::Running, "START refused in-range settings");
    }

    // Delivers the next expiry of Timer1 with the clock at its deadline (or later).
    void tick(std::chrono::milliseconds late)
    {
        const bool running = state().running;
        const int beepsBefore = beeps_;
        now_ = std::max(now_, form_.timer1().nextDeadline()) + late;
        form_.timer1().expire();
        // What the window defers to "right away" has happened before anyone can look.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        const MetronomeState& s = state();
        expect(beeps_ - beepsBefore == (running ? s.beepcount : 0),
               "a beat sounded the wrong number of beeps");
        expect(!running || (s.beat >= 1 && s.beat <= s.beatsperbar), "beat outside 1..beatsperbar");
    }

    // Runs `action`, answering the message box it opens as soon as the box's event loop
    // runs (a beat or two may come while it is open, as the real clock's do); returns
    // whether a box opened, and keeps the run as it stood when the box opened.
    bool answering(const std::function<void()>& action)
    {
        int boxes = 0;
        QTimer answer;
        answer.setInterval(0);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible())
                return;
            expect(++boxes == 1, "a message box did not close when answered");
            seenState_ = state();
            seenInterval_ = form_.timer1().interval();
            for (int i = uniform(rng_, -6, 2); i > 0; --i)
                tick(std::chrono::milliseconds(0));
            switch (boxes > 1 ? 3 : uniform(rng_, 0, 3)) {
            case 0: QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton); break;
            case 1: QTest::keyClick(box, Qt::Key_Return); break;
            case 2: QTest::keyClick(box, Qt::Key_Escape); break;
            default: box->done(0);
            }
        });
        answer.start();
        action();
        return boxes > 0;
    }
    bool clickAnswering(QAbstractButton* button)
    {
        return answering([button] { QTest::mouseClick(button, Qt::LeftButton); });
    }

    void checkWindows()
    {
        const auto on = [](auto... checked) { return (int(checked) + ...); };
        expect(on(option(Option::FourFour), option(Option::ThreeFour), option(Option::TwoFour)) == 1
                   && on(option(Option::IncLinear), option(Option::IncSkip)) == 1,
               "an option frame has not exactly one option on");
        expect(on(item("mnuhigh")->isChecked(), item("mnumedium")->isChecked(),
                  item("mnulow")->isChecked())
                       == 1
                   && item(kVolumeItems[volume_])->isChecked()
                   && state().beepcount == kVolumeBeeps[volume_],
               "the Volume check marks or the beep count are not the last Volume item's");
        expect(countTopLevel(HelpWindow::staticMetaObject) == (form_.helpWindow() ? 1 : 0),
               "not exactly the one help window the main window holds");
        expect(countTopLevel(QMessageBox::staticMetaObject) == 0, "a message box is left over");
        for (QLabel* label : controls().statusLabels)
            expect(test::isWellFormedLabel(label->text().toStdString()),
                   "a label shows \"" + label->text().left(40).toStdString() + '"');
        const MetronomeState& s = state();
        expect(model_ == RunState::Stopped   ? s.stopped && !s.running
               : model_ == RunState::Running ? !s.stopped && s.running
                                             : !s.stopped && !s.running,
               "the run flags do not show the expected state");
        const std::int32_t interval = form_.timer1().interval();
        expect(form_.timer1().isActive() && interval >= 171 && interval <= 60000,
               "Timer1 is off or out of range");
    }

    Rng& rng_;
    std::array<int, 3>& actionsIn_;  // by RunState: the state each action began in
    int beeps_ = 0;
    BeatClock::time_point now_{std::chrono::hours(1)};
    Form1 form_;
    int ended_ = 0;
    RunState model_ = RunState::Stopped;
    std::size_t volume_ = 1;  // into kVolumeItems: Medium at start
    MetronomeState seenState_;
    std::int32_t seenInterval_ = 0;
};

// The offscreen platform says so for every window shown or raised; the rest goes on.
QtMessageHandler qtMessages = nullptr;
void dropOffscreenNotices(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (qtMessages != nullptr && !text.startsWith(QLatin1String("This plugin does not support")))
        qtMessages(type, context, text);
}

TEST(RandomUser, ClicksEverythingInEveryStateAndTheWindowsStaySound)
{
    qtMessages = qInstallMessageHandler(dropOffscreenNotices);
    const QByteArray seedText = qgetenv("TAVRO_RANDOMUSER_SEED");
    const std::uint64_t seed = seedText.isEmpty() ? std::random_device{}() : seedText.toULongLong();
    const int total = qEnvironmentVariableIsSet("TAVRO_RANDOMUSER_ACTIONS")
                          ? qEnvironmentVariableIntValue("TAVRO_RANDOMUSER_ACTIONS")
                          : 20000;
    SCOPED_TRACE("seed " + std::to_string(seed)
                 + " (replay: TAVRO_RANDOMUSER_SEED=" + std::to_string(seed) + ")");
    constexpr int kPrograms = 8;  // each one ended in its own way
    Rng rng(seed);
    std::array<int, 3> actionsIn{};
    int accepted = 0, refused = 0;
    for (int program = 0; program < kPrograms; ++program) {
        auto session = std::make_unique<Session>(rng, actionsIn);
        const int actions = total / kPrograms + (program < total % kPrograms);
        for (int i = 0; i <= actions; ++i) {
            i < actions ? session->act() : session->end();
            ASSERT_EQ(session->problem, "") << "program " << program << ", action " << i;
        }
        accepted += session->accepted;
        refused += session->refused;
        session.reset();
        processEvents();
        ASSERT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "windows outlived the program";
    }
    // Every state gets its share of the actions, or the run has not tried them all.
    for (int count : actionsIn)
        EXPECT_GT(count, total / 20);
    EXPECT_GT(refused, 0);
    EXPECT_GT(accepted, 0);
}

}  // namespace
