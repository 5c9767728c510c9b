#include "random_texts.h"

#include "engine/metronome.h"
#include "help/help_window.h"
#include "help/twips_label.h"
#include "mainwindow/form1.h"
#include "tests/support/label_text.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <functional>
#include <memory>
#include <sstream>
#include <tuple>

// A user who clicks everything, in every state of the program: random texts typed and
// pasted into the boxes, every button, option and menu item, the help window's buttons,
// scroll bar and close box, and beats of the clock in between, with every message box
// answered. The windows' invariants are checked after every action.
//
//   TAVRO_RANDOMUSER_SEED     replays a run (the seed is printed when it fails)
//   TAVRO_RANDOMUSER_ACTIONS  how many actions (20000 by default)
namespace {

using namespace std::chrono_literals;
using namespace tavro;
using namespace tavro::ui;
using randomuser::Rng;
using Clock = BeatClock;

constexpr std::array<const char*, 5> kTopicButtons{"cmdNextTip", "Command1", "Command2",
                                                   "Command5", "Command4"};
constexpr std::array<const char*, 5> kTopicTitles{"OVERVIEW", "METRONOME", "BUILDING SPEED",
                                                  "LINEAR INCREASE", "SKIP INCREASE"};
constexpr std::array<const char*, 3> kVolumeItems{"mnuhigh", "mnumedium", "mnulow"};
constexpr std::array<int, 3> kVolumeBeeps{15, 8, 2};

std::uint64_t environmentNumber(const char* name, std::uint64_t fallback)
{
    bool ok = false;
    const std::uint64_t value = qEnvironmentVariable(name).toULongLong(&ok);
    return ok ? value : fallback;
}

int uniform(Rng& rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}

bool printableAscii(QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; }

// A text for the action log: printable ASCII as it is, everything else as \uXXXX.
std::string printable(const QString& text)
{
    QString out;
    for (QChar c : text.left(24))
        out += printableAscii(c) ? QString(c) : QString::asprintf("\\u%04x", c.unicode());
    if (text.size() > 24)
        out += QStringLiteral("... (%1 chars)").arg(text.size());
    return out.toStdString();
}

void processEvents()
{
    QCoreApplication::processEvents();
    // A window closed with WA_DeleteOnClose goes, as it does between two user actions.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template <class T>
std::vector<T*> topLevel()
{
    std::vector<T*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (T* t = qobject_cast<T*>(widget))
            found.push_back(t);
    return found;
}

// The run values a refused START leaves alone: all but the two option choices.
auto runValues(const MetronomeState& s)
{
    return std::make_tuple(s.piecelength, s.running, s.repeatcount, s.skipcount, s.stopped,
                           s.maxbpm, s.stepphase, s.baserate, s.stepbpm, s.beat, s.bar,
                           s.introbars, s.repeattotal, s.startbpm, s.linearinc, s.skipinc);
}

struct Stats {
    std::array<int, 3> actionsIn{};  // by RunState: the state each action began in
    int ticks = 0, boxes = 0, accepted = 0, refused = 0, helpActions = 0;
};

// What a message box showed, and the run as it stood when the box opened.
struct SeenBox {
    bool shown = false;
    QString title, text;
    MetronomeState state;
    std::int32_t interval = 0;
};

// One program from start to end: the main window on a fake clock whose beats the user
// delivers, the beeps counted, and a model of the run state and volume it must show.
class Session {
public:
    Session(Rng& rng, Stats& stats) : rng_(rng), stats_(stats), form_(services())
    {
        QObject::connect(&form_, &Form1::programEnded, [this] { ++ended_; });
        form_.show();
        processEvents();
    }

    // Performs one random action and checks the windows; returns what it did, for the log.
    std::string act()
    {
        ++stats_.actionsIn[std::size_t(model_)];
        now_ += std::chrono::milliseconds(uniform(rng_, 0, 40));  // the user takes a moment
        std::string done = randomAction();
        processEvents();
        checkWindows();
        return done;
    }

    // QUIT, the main window's close box, or the program's end with its windows as they are.
    std::string end()
    {
        const int how = uniform(rng_, 0, 2);
        if (how == 0)
            expect(!clickAnswering(controls().Command1).shown, "QUIT opened a box");
        if (how == 1)
            form_.close();
        processEvents();
        if (how < 2)
            expect(ended_ == 1 && !form_.isVisible() && !form_.timer1().isActive() &&
                       topLevel<HelpWindow>().empty(),
                   "the program did not end with all its windows and its clock");
        return how == 0 ? "QUIT" : how == 1 ? "close the main window" : "end as it is";
    }

    const std::vector<std::string>& problems() const { return problems_; }

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
        if (!ok)
            problems_.push_back(what);
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
    QString helpTopic() const { return help<TwipsLabel>("Label1")->caption(); }
    int helpScroll() const { return help<QScrollBar>("VScroll1")->value(); }

    std::string randomAction()
    {
        const bool helpShown = form_.helpWindow() != nullptr && form_.helpWindow()->isVisible();
        const int r = uniform(rng_, 0, helpShown ? 99 : 87);
        if (r < 25)
            return type();
        if (r < 35) {
            QRadioButton* button = controls().options[std::size_t(uniform(rng_, 0, 4))];
            QTest::mouseClick(button, Qt::LeftButton);
            return "option " + button->objectName().toStdString();
        }
        if (r < 44)
            return start();
        if (r < 47)
            return startWithAcceptedSettings();
        if (r < 51) {
            expect(!clickAnswering(controls().Command3).shown, "STOP opened a box");
            model_ = RunState::Stopped;
            return "STOP";
        }
        if (r < 57)
            return pause();
        if (r < 79)
            return ticks();
        if (r < 84) {
            volume_ = std::size_t(uniform(rng_, 0, 2));
            expect(!choose(item(kVolumeItems[volume_])).shown, "a Volume item opened a box");
            return kVolumeItems[volume_];
        }
        if (r < 87)
            return instructions();
        if (r < 88) {
            const SeenBox seen = choose(item("mnuabout"));
            expect(seen.shown && seen.title == "About" && seen.text.startsWith("Tavro Metronome"),
                   "About showed no About box");
            return "About";
        }
        ++stats_.helpActions;
        if (r < 93)
            return topic();
        if (r < 98)
            return scroll();
        HelpWindow* window = form_.helpWindow();
        if (r < 99) {
            QTest::mouseClick(help("Command7"), Qt::LeftButton);
            expect(form_.helpWindow() == window && !window->isVisible(), "OK did not hide help");
            return "help OK";
        }
        window->close();
        processEvents();
        expect(form_.helpWindow() == nullptr, "the closed help window is still held");
        return "help close box";
    }

    // Replaces or extends a box's text, typed key by key or pasted at once.
    std::string type()
    {
        const Box which = Box(uniform(rng_, 0, 6));
        const QString text = randomuser::randomBoxText(rng_, which);
        QLineEdit* edit = controls().box(which);
        edit->setFocus();
        const bool replace = uniform(rng_, 0, 3) != 0;
        replace ? edit->selectAll() : edit->end(false);
        const bool keys = text.size() <= 40 && uniform(rng_, 0, 1) &&
                          std::all_of(text.begin(), text.end(), printableAscii);
        if (keys && text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Backspace);
        keys ? QTest::keyClicks(edit, text) : edit->insert(text);
        return std::string(keys ? "type" : "paste") + (replace ? " over " : " after ") +
               edit->objectName().toStdString() + ": \"" + printable(text) + '"';
    }

    std::string start()
    {
        const MetronomeState before = state();
        const std::int32_t interval = form_.timer1().interval();
        const SeenBox seen = clickAnswering(controls().Command2);
        // The two option choices go into the state even when the settings are refused.
        const int beats = option(Option::FourFour) ? 4 : option(Option::ThreeFour) ? 3 : 2;
        expect(state().beatsperbar == beats && state().linearmode == option(Option::IncLinear),
               "START did not take the time signature and the increase type");
        if (seen.shown) {
            ++stats_.refused;
            expect(seen.title == kProblemTitle, "START's box has the wrong title");
            expect(runValues(seen.state) == runValues(before) && seen.interval == interval,
                   "a refused START changed a run value");
            return "START (refused: " + seen.text.toStdString() + ")";
        }
        ++stats_.accepted;
        model_ = RunState::Running;
        const std::int32_t started = form_.timer1().interval();
        expect(state().beat == 0 && started >= 240 && started <= 2000,
               "an accepted START set beat " + std::to_string(state().beat) + " and interval " +
                   std::to_string(started));
        return "START (accepted)";
    }

    std::string startWithAcceptedSettings()
    {
        const std::array<QString, 7> settings = randomuser::acceptedSettings(rng_);
        std::string typed;
        for (std::size_t i = 0; i < settings.size(); ++i) {
            QLineEdit* edit = controls().boxes[i];
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, settings[i]);
            typed += ' ' + settings[i].toStdString();
        }
        const std::string done = start();
        expect(model_ == RunState::Running, "START refused the settings" + typed);
        return "settings" + typed + ", " + done;
    }

    std::string pause()
    {
        const RunState was = model_;
        const SeenBox seen = clickAnswering(controls().Command4);
        if (was == RunState::Stopped) {
            expect(seen.shown && seen.title == kProblemTitle &&
                       seen.text == "You can't Pause while stopped!",
                   "PAUSE while stopped showed no message");
            return "PAUSE (stopped)";
        }
        expect(!seen.shown, "PAUSE opened a box during a run");
        model_ = was == RunState::Running ? RunState::Paused : RunState::Running;
        return "PAUSE";
    }

    std::string ticks()
    {
        const int r = uniform(rng_, 0, 99);
        const int count = r < 70 || r >= 95 ? 1 : uniform(rng_, 2, 64);
        // Now and then a beat handled late, after a stall of up to three intervals.
        const int late = r < 95 ? 0 : uniform(rng_, 0, 3 * form_.timer1().interval());
        for (int i = 0; i < count; ++i)
            tick(std::chrono::milliseconds(late));
        return std::to_string(count) + " tick(s), " + std::to_string(late) + " ms late";
    }

    // Delivers the next expiry of Timer1 with the clock at its deadline (or later).
    void tick(std::chrono::milliseconds late)
    {
        ++stats_.ticks;
        const bool running = state().running;
        const int beepsBefore = beeps_;
        const QStringList labelsBefore = labels();
        now_ = std::max(now_, form_.timer1().nextDeadline()) + late;
        form_.timer1().expire();
        // What the window defers to "right away" has happened before anyone can look.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        const MetronomeState& s = state();
        const QStringList shown = labels();
        if (!running) {
            expect(beeps_ == beepsBefore && shown == labelsBefore,
                   "a tick while not running sounded or showed something");
            return;
        }
        expect(beeps_ - beepsBefore == s.beepcount,
               "a beat sounded " + std::to_string(beeps_ - beepsBefore) + " beeps");
        expect(s.beat >= 1 && s.beat <= s.beatsperbar,
               "beat " + std::to_string(s.beat) + " of " + std::to_string(s.beatsperbar));
        const double speed = std::nearbyint(60000.0 / form_.timer1().interval());
        expect(shown[0].toDouble() == speed && shown[1].toDouble() == s.bar &&
                   shown[2].toDouble() == s.piecelength && shown[3].toDouble() == s.beat &&
                   shown[4].toDouble() == s.repeatcount,
               "the labels do not show the beat just counted: " + shown.join(' ').toStdString());
    }

    std::string instructions()
    {
        HelpWindow* before = form_.helpWindow();
        const QString topic = before ? helpTopic() : QStringLiteral("OVERVIEW");
        const int value = before ? helpScroll() : 0;
        expect(!choose(item("mnuinstruct")).shown, "Instructions opened a box");
        HelpWindow* after = form_.helpWindow();
        expect(after != nullptr && after->isVisible() && (before == nullptr || before == after),
               "Instructions did not show the one help window");
        if (after != nullptr)
            expect(helpTopic() == topic && helpScroll() == value,
                   "the help window did not come back as it was left");
        return before ? "Instructions (again)" : "Instructions (new window)";
    }

    std::string topic()
    {
        const std::size_t t = std::size_t(uniform(rng_, 0, 4));
        const int value = helpScroll();
        QTest::mouseClick(help(kTopicButtons[t]), Qt::LeftButton);
        expect(helpTopic() == kTopicTitles[t] && helpScroll() == value,
               std::string("the topic button did not show ") + kTopicTitles[t] + " in place");
        return std::string("topic ") + kTopicTitles[t];
    }

    std::string scroll()
    {
        QScrollBar* bar = help<QScrollBar>("VScroll1");
        const int r = uniform(rng_, 0, 6);
        using Slider = QAbstractSlider;
        static const std::array<Slider::SliderAction, 6> clicks{
            Slider::SliderSingleStepAdd, Slider::SliderSingleStepSub, Slider::SliderPageStepAdd,
            Slider::SliderPageStepSub,   Slider::SliderToMinimum,     Slider::SliderToMaximum};
        if (r < 6) {
            bar->triggerAction(clicks[std::size_t(r)]);
            return "scroll action " + std::to_string(r) + " to " + std::to_string(bar->value());
        }
        // Dragging the thumb moves nothing until it is released.
        const std::int16_t applied = form_.helpWindow()->lastScroll();
        bar->setSliderDown(true);
        for (int i = uniform(rng_, 1, 4); i > 0; --i)
            bar->setSliderPosition(uniform(rng_, -100, 5100));
        expect(form_.helpWindow()->lastScroll() == applied, "the labels moved during a drag");
        bar->setSliderDown(false);
        return "drag the thumb to " + std::to_string(bar->value());
    }

    // Chooses a menu item, by triggering it or through its menu with the keyboard.
    SeenBox choose(QAction* action)
    {
        return answering([&] {
            auto* menu = qobject_cast<QMenu*>(action->parent());
            if (menu == nullptr || uniform(rng_, 0, 1)) {
                action->trigger();
                return;
            }
            menu->popup(form_.mapToGlobal(QPoint(10, 10)));
            for (QAction* a : menu->actions()) {
                if (!a->isSeparator())
                    QTest::keyClick(menu, Qt::Key_Down);
                if (a == action)
                    break;
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
    }

    SeenBox clickAnswering(QAbstractButton* button)
    {
        return answering([button] { QTest::mouseClick(button, Qt::LeftButton); });
    }

    // Runs `action`, answering the message box it opens as soon as the box's event loop
    // runs; a beat or two may come while the box is open, as the real clock's do.
    SeenBox answering(const std::function<void()>& action)
    {
        SeenBox seen;
        QTimer answer;
        answer.setInterval(0);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible())
                return;
            if (seen.shown) {  // answered once already and still open
                expect(false, "a message box did not close when answered");
                box->done(0);
                return;
            }
            seen = {true, box->windowTitle(), box->text(), state(), form_.timer1().interval()};
            ++stats_.boxes;
            for (int i = uniform(rng_, -6, 2); i > 0; --i)
                tick(0ms);
            switch (uniform(rng_, 0, 3)) {
            case 0: QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton); break;
            case 1: QTest::keyClick(box, Qt::Key_Return); break;
            case 2: QTest::keyClick(box, Qt::Key_Escape); break;
            default: box->close();
            }
        });
        answer.start();
        action();
        return seen;
    }

    QStringList labels() const
    {
        QStringList texts;
        for (QLabel* label : controls().statusLabels)
            texts.push_back(label->text());
        return texts;
    }

    void checkWindows()
    {
        const auto on = [](auto... checked) { return (int(checked) + ...); };
        expect(on(option(Option::FourFour), option(Option::ThreeFour), option(Option::TwoFour)) == 1
                   && on(option(Option::IncLinear), option(Option::IncSkip)) == 1,
               "an option frame has not exactly one option on");
        expect(on(item("mnuhigh")->isChecked(), item("mnumedium")->isChecked(),
                  item("mnulow")->isChecked()) == 1 &&
                   item(kVolumeItems[volume_])->isChecked() &&
                   state().beepcount == kVolumeBeeps[volume_],
               "the Volume check marks or the beep count are not the last Volume item's");

        const std::vector<HelpWindow*> helpWindows = topLevel<HelpWindow>();
        expect(helpWindows.size() <= 1, "more than one help window");
        expect(form_.helpWindow() == (helpWindows.empty() ? nullptr : helpWindows.front()),
               "the main window holds another help window than the one that exists");
        if (HelpWindow* window = form_.helpWindow()) {
            const int value = helpScroll();
            expect(window->lastScroll() == value &&
                       help<TwipsLabel>("Label1")->topTwips() == 120 - value &&
                       help<TwipsLabel>("lblTipText")->topTwips() == 600 - value,
                   "the help labels do not stand where the scroll bar puts them");
        }
        expect(topLevel<QMessageBox>().empty(), "a message box is left over");

        for (const QString& text : labels())
            expect(test::isWellFormedLabel(text.toStdString()),
                   "a label shows \"" + printable(text) + '"');

        const MetronomeState& s = state();
        expect(model_ == RunState::Stopped   ? s.stopped && !s.running
               : model_ == RunState::Running ? !s.stopped && s.running
                                             : !s.stopped && !s.running,
               "the run flags do not show the expected state");
        const std::int32_t interval = form_.timer1().interval();
        expect(form_.timer1().isActive() && interval >= 171 && interval <= 60000,
               "Timer1 is off or its interval is " + std::to_string(interval));
        expect(s.beat >= 0 && s.beat <= 4 && s.beatsperbar >= 2 && s.beatsperbar <= 4,
               "beat " + std::to_string(s.beat) + " of " + std::to_string(s.beatsperbar));
    }

    Rng& rng_;
    Stats& stats_;
    int beeps_ = 0;
    Clock::time_point now_{std::chrono::hours(1)};
    Form1 form_;
    int ended_ = 0;
    RunState model_ = RunState::Stopped;
    std::size_t volume_ = 1;  // into kVolumeItems: Medium at start
    std::vector<std::string> problems_;
};

std::string failure(std::uint64_t seed, int program, int action,
                    const std::vector<std::string>& problems, const std::deque<std::string>& log)
{
    std::ostringstream out;
    out << "seed " << seed << " (replay: TAVRO_RANDOMUSER_SEED=" << seed << "), program "
        << program << ", action " << action << ":\n";
    for (const std::string& p : problems)
        out << "  " << p << '\n';
    out << "the last actions, oldest first:\n";
    for (const std::string& a : log)
        out << "  " << a << '\n';
    return out.str();
}

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
    const std::uint64_t seed = environmentNumber("TAVRO_RANDOMUSER_SEED", std::random_device{}());
    const int total = int(environmentNumber("TAVRO_RANDOMUSER_ACTIONS", 20000));
    constexpr int kPrograms = 8;  // each one ended in its own way
    Rng rng(seed);
    Stats stats;
    const auto began = std::chrono::steady_clock::now();
    for (int program = 0; program < kPrograms; ++program) {
        std::deque<std::string> log;
        auto session = std::make_unique<Session>(rng, stats);
        const int actions = total / kPrograms + (program < total % kPrograms);
        for (int i = 0; i <= actions; ++i) {
            log.push_back(i < actions ? session->act() : session->end());
            if (log.size() > 30)
                log.pop_front();
            ASSERT_TRUE(session->problems().empty())
                << failure(seed, program, i, session->problems(), log);
        }
        session.reset();
        processEvents();
        ASSERT_TRUE(QApplication::topLevelWidgets().isEmpty())
            << "windows outlived the program; seed " << seed;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    std::printf("seed %llu: %d actions (%d stopped, %d running, %d paused), %d ticks, "
                "%d boxes answered, %d STARTs accepted, %d refused, %d help window actions, "
                "%.1f s\n",
                static_cast<unsigned long long>(seed), total, stats.actionsIn[0],
                stats.actionsIn[1], stats.actionsIn[2], stats.ticks, stats.boxes, stats.accepted,
                stats.refused, stats.helpActions, took.count());
    // Every state gets its share of the actions, or the run has not tried them all.
    for (int count : stats.actionsIn)
        EXPECT_GT(count, total / 20) << "seed " << seed;
    EXPECT_GT(stats.refused, 0);
    EXPECT_GT(stats.accepted, 0);
}

}  // namespace
