#include "mainwindow/form1.h"

#include "engine/number_text.h"
#include "engine/rounding.h"
#include "help/help_window_holder.h"
#include "mainwindow/about_text.h"
#include "mainwindow/app_icon.h"
#include "mainwindow/form1_layout.h"
#include "mainwindow/message_box.h"
#include "playback/run_at.h"
#include "toolkit/fonts.h"
#include "toolkit/twips.h"
#include "toolkit/window_placement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

namespace tavro::ui {

namespace {

constexpr std::int32_t kTimer1DesignInterval = 1000;

QAction* addItem(QMenu* menu, const char* name, const char* caption, bool checkable)
{
    // Captions are set plainly, without '&', so no item has an access key.
    QAction* item = menu->addAction(QString::fromLatin1(caption));
    item->setObjectName(QString::fromLatin1(name));
    item->setCheckable(checkable);
    return item;
}

}  // namespace

Form1::Form1(Form1Services services)
    : timeline_(services.clock)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tavro Metronome"));
    setWindowIcon(appIcon());

    client_ = new QWidget(this);
    setCentralWidget(client_);
    controls_ = buildForm1Controls(client_);
    // The settings captions and units are the tightest texts of the layout.
    QList<QLabel*> settingsLabels = controls_.Frame3->findChildren<QLabel*>();
    settingsLabels += controls_.Frame4->findChildren<QLabel*>();
    setFont(fitToLabels(dialogFont(), settingsLabels));
    buildMenus();

    // Timer1 counts from the creation of the window; only the end of the program stops it.
    // Timer1 runs on the sound stream's clock while one plays, else on the monotonic one.
    timer1_ =
        new playback::BeatTimer(this, services.timerDelivery, [this] { return timeline_.now(); });
    timer1_->setObjectName(QStringLiteral("Timer1"));

    std::function<void()> bell =
        services.beep ? std::move(services.beep) : [] { QApplication::beep(); };
    clickPlayer_ = new playback::ClickPlayer(services.sound, timeline_, bell, this);
    connect(clickPlayer_, &playback::ClickPlayer::fellBackToBell, this, &Form1::tellSoundFellBack);
    // Each beat is counted ahead of the moment it is heard, so that its click can be
    // written into the sound stream in time.
    timer1_->setLookahead(clickPlayer_->lookahead());
    connect(clickPlayer_, &playback::ClickPlayer::lookaheadChanged, this,
            [this] { timer1_->setLookahead(clickPlayer_->lookahead()); });
    timer1_->start(kTimer1DesignInterval);

    QtWindowOps::Services platform;
    platform.beep = bell;
    platform.endProgram = [this] { endProgram(); };
    announcer_ = new StatusAnnouncer(this);
    platform.captionShown = [this](StatusLabel label, const std::string& caption) {
        announcer_->shown(label, caption);
    };
    ops_ =
        std::make_unique<QtWindowOps>(controls_, volumeItems_, *timer1_, this, std::move(platform));
    recorder_ = std::make_unique<playback::BeatRecorder>(*ops_);
    metronome_ = std::make_unique<Metronome>(*recorder_);
    connectHandlers();

    // The client area has its design size below the menu bar; it may be resized freely.
    const QSize client = twipsRect(0, 0, kForm1ClientWidth, kForm1ClientHeight).size();
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
    centreOnPrimaryScreen(*this);
    controls_.Command1->setFocus();

    metronome_->Form_Load();
}

Form1::~Form1()
{
    timer1_->stop();
    closeHelpWindow(helpWindow_);
}

void Form1::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menubar"));

    mnuvolume_ = bar->addMenu(QStringLiteral("Volume"));
    mnuvolume_->setObjectName(QStringLiteral("mnuvolume"));
    mnuvolume_->setFont(font());  // menus drop out as windows of their own
    volumeItems_[static_cast<std::size_t>(VolumeItem::High)] =
        addItem(mnuvolume_, "mnuhigh", "High", true);
    volumeItems_[static_cast<std::size_t>(VolumeItem::Medium)] =
        addItem(mnuvolume_, "mnumedium", "Medium", true);
    volumeItems_[static_cast<std::size_t>(VolumeItem::Low)] =
        addItem(mnuvolume_, "mnulow", "Low", true);
    // Goes with the load value of the beep count.
    volumeItems_[static_cast<std::size_t>(VolumeItem::Medium)]->setChecked(true);

    mnuhelp_ = bar->addMenu(QStringLiteral("Help"));
    mnuhelp_->setObjectName(QStringLiteral("mnuhelp"));
    mnuhelp_->setFont(font());
    mnuinstruct_ = addItem(mnuhelp_, "mnuinstruct", "Instructions", false);
    mnuhelp_->addSeparator()->setObjectName(QStringLiteral("spacer"));
    mnuabout_ = addItem(mnuhelp_, "mnuabout", "About", false);
}

void Form1::connectHandlers()
{
    Metronome* engine = metronome_.get();
    // Every handler that can change what the coming beat sounds like tells the player.
    auto handler = [this](void (Metronome::*click)()) {
        return [this, click] {
            (metronome_.get()->*click)();
            foreseeNextBeat();
        };
    };
    connect(controls_.Command1, &QPushButton::clicked, this,
            [engine] { engine->Command1_Click(); });
    connect(controls_.Command2, &QPushButton::clicked, this, [this] {
        metronome_->Command2_Click();
        // A stream is open only while a run exists.
        if (metronome_->runState() == RunState::Running) {
            clickPlayer_->open();
            announcer_->runStarted(topSpeedCaptions(metronome_->state()));
        }
        foreseeNextBeat();
    });
    connect(controls_.Command3, &QPushButton::clicked, this, [this] {
        metronome_->Command3_Click();
        clickPlayer_->close();
    });
    connect(controls_.Command4, &QPushButton::clicked, this, handler(&Metronome::Command4_Click));
    connect(timer1_, &playback::BeatTimer::expired, this, &Form1::countBeat);
    connect(timer1_, &playback::BeatTimer::rescheduled, this, &Form1::foreseeNextBeat);

    // Choosing a checkable item toggles its mark first; the handler then sets all three.
    auto volume = [](VolumeItem item) { return static_cast<std::size_t>(item); };
    connect(volumeItems_[volume(VolumeItem::High)], &QAction::triggered, this,
            handler(&Metronome::mnuhigh_Click));
    connect(volumeItems_[volume(VolumeItem::Medium)], &QAction::triggered, this,
            handler(&Metronome::mnumedium_Click));
    connect(volumeItems_[volume(VolumeItem::Low)], &QAction::triggered, this,
            handler(&Metronome::mnulow_Click));
    connect(mnuinstruct_, &QAction::triggered, this, [this] { mnuinstruct_Click(); });
    connect(mnuabout_, &QAction::triggered, this, [this] { mnuabout_Click(); });
}

// The captions the Speed label may show on the maximum: a step capped on it adds the last
// beat per minute to the one below, a skip may land on it, and the two may round apart.
std::vector<std::string> Form1::topSpeedCaptions(const MetronomeState& s)
{
    const double capped = (s.maxbpm - 1) / 60 + 1.0 / 60;
    return {formatNumber(shownSpeed(intervalForRate(s.maxbpm / 60))),
            formatNumber(shownSpeed(intervalForRate(capped)))};
}

void Form1::countBeat()
{
    const playback::BeatClock::time_point beat = timer1_->beatTime();
    const playback::RecordedBeat counted =
        recorder_->record([this] { metronome_->Timer1_Timer(); });
    clickPlayer_->playBeat(beat, counted.beeps);
    // The output's latency may have changed since the last beat.
    timer1_->setLookahead(clickPlayer_->lookahead());
    // The labels change when the beat is heard, so eye and ear agree. Ticks while no run
    // goes change none, and need no wake-up of their own.
    if (counted.writesCaptions())
        playback::runAt(timeline_, beat, this, [this, counted] { counted.showOn(*ops_); });
}

void Form1::foreseeNextBeat()
{
    clickPlayer_->expectBeat(timer1_->nextDeadline(),
                             playback::comingBeatBeeps(metronome_->state()));
}

void Form1::tellSoundFellBack(const QString& reason)
{
    // Once per program, and without stopping anything: the run goes on with the bell.
    if (soundNoticeShown_)
        return;
    soundNoticeShown_ = true;
    showNotice(this, QStringLiteral("Tavro Metronome"),
               reason
                   + QStringLiteral("\n\nThe metronome clicks with the system bell until a "
                                    "sound device is available again; then the sound comes "
                                    "back by itself."));
}

void Form1::mnuinstruct_Click() { showHelpWindow(helpWindow_); }

void Form1::mnuabout_Click() { ops_->messageBox(aboutText(), kAboutTitle); }

void Form1::closeEvent(QCloseEvent* event)
{
    // Closing the main window through its frame ends the program, help window included.
    event->accept();
    endProgram();
}

void Form1::endProgram()
{
    if (ended_) {
        return;
    }
    ended_ = true;
    timer1_->stop();
    clickPlayer_->close();
    closeHelpWindow(helpWindow_);
    hide();
    emit programEnded();
}

}  // namespace tavro::ui
