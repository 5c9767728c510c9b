#pragma once

#include "engine/metronome.h"
#include "help/help_window.h"
#include "mainwindow/form1_controls.h"
#include "mainwindow/qt_window_ops.h"
#include "mainwindow/status_announcer.h"
#include "playback/audio_timeline.h"
#include "playback/beat_recorder.h"
#include "playback/beat_timer.h"
#include "playback/click_player.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace tavro::ui {

// What the main window takes from the platform; the defaults are the real ones.
struct Form1Services {
    std::function<void()> beep;  // the system bell; empty: QApplication::beep
    playback::BeatTimer::Delivery timerDelivery = playback::BeatTimer::Delivery::Automatic;
    playback::BeatTimer::Clock clock = &playback::BeatClock::now;  // the monotonic clock
    playback::ClickPlayer::Output sound = playback::ClickPlayer::Output::Stream;
};

// The program's main window: settings, run buttons, status and the menus, wired to the
// metronome engine's handlers. The window has no logic of its own.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    // Creates every control in its design state, starts Timer1 at 1000 ms and runs the
    // load step; the window is placed in the middle of the screen, not yet shown.
    explicit Form1(Form1Services services = {});
    ~Form1() override;

    const Metronome& metronome() const { return *metronome_; }
    const Form1Controls& controls() const { return controls_; }
    playback::BeatTimer& timer1() { return *timer1_; }
    const playback::BeatTimer& timer1() const { return *timer1_; }
    HelpWindow* helpWindow() const { return helpWindow_.data(); }

signals:
    // The program has ended: every window is closed and the beat clock stopped. The
    // application leaves its event loop on it.
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void connectHandlers();
    void countBeat();
    static std::vector<std::string> topSpeedCaptions(const MetronomeState& s);
    void foreseeNextBeat();
    void tellSoundFellBack(const QString& reason);
    void mnuinstruct_Click();
    void mnuabout_Click();
    void endProgram();

    QWidget* client_ = nullptr;
    Form1Controls controls_;
    QMenu* mnuvolume_ = nullptr;
    QMenu* mnuhelp_ = nullptr;
    std::array<QAction*, 3> volumeItems_{};  // mnuhigh, mnumedium, mnulow
    QAction* mnuinstruct_ = nullptr;
    QAction* mnuabout_ = nullptr;
    playback::AudioTimeline timeline_;
    playback::BeatTimer* timer1_ = nullptr;
    playback::ClickPlayer* clickPlayer_ = nullptr;
    bool soundNoticeShown_ = false;
    StatusAnnouncer* announcer_ = nullptr;  // told every caption by ops_
    std::unique_ptr<QtWindowOps> ops_;
    // The engine's window: the widgets, with each beat held until it is heard.
    std::unique_ptr<playback::BeatRecorder> recorder_;
    std::unique_ptr<Metronome> metronome_;
    QPointer<HelpWindow> helpWindow_;
    bool ended_ = false;
};

}  // namespace tavro::ui
