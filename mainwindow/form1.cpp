#include "mainwindow/form1.h"

#include "help/help_window_holder.h"
#include "mainwindow/about_text.h"
#include "mainwindow/app_icon.h"
#include "mainwindow/window_fonts.h"
#include "toolkit/fonts.h"
#include "toolkit/twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

namespace tavro::ui {

namespace {

constexpr int kClientWidthTwips = 6405;
constexpr int kClientHeightTwips = 5490;
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
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tavro Metronome"));
    setWindowIcon(appIcon());

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);
    controls_ = buildForm1Controls(client_);
    // The settings captions and units are the tightest texts of the layout.
    QList<QLabel*> settingsLabels = controls_.Frame3->findChildren<QLabel*>();
    settingsLabels += controls_.Frame4->findChildren<QLabel*>();
    setFont(fitToLabels(dialogFont(), settingsLabels));
    buildMenus();

    // Timer1 counts from the creation of the window; only the end of the program stops it.
    timer1_ = new BeatTimer(this, services.timerDelivery, std::move(services.clock));
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->start(kTimer1DesignInterval);

    QtWindowOps::Services platform;
    platform.beep = services.beep ? std::move(services.beep) : [] { QApplication::beep(); };
    platform.endProgram = [this] { endProgram(); };
    ops_ = std::make_unique<QtWindowOps>(controls_, volumeItems_, *timer1_, this,
                                         std::move(platform));
    metronome_ = std::make_unique<Metronome>(*ops_);
    connectHandlers();

    // The client area has its design size below the menu bar; it may be resized freely.
    const QSize client = twipsRect(0, 0, kClientWidthTwips, kClientHeightTwips).size();
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
    connect(controls_.Command1, &QPushButton::clicked, this, [engine] { engine->Command1_Click(); });
    connect(controls_.Command2, &QPushButton::clicked, this, [engine] { engine->Command2_Click(); });
    connect(controls_.Command3, &QPushButton::clicked, this, [engine] { engine->Command3_Click(); });
    connect(controls_.Command4, &QPushButton::clicked, this, [engine] { engine->Command4_Click(); });
    connect(timer1_, &BeatTimer::expired, this, [engine] { engine->Timer1_Timer(); });

    // Choosing a checkable item toggles its mark first; the handler then sets all three.
    auto volume = [](VolumeItem item) { return static_cast<std::size_t>(item); };
    connect(volumeItems_[volume(VolumeItem::High)], &QAction::triggered, this,
            [engine] { engine->mnuhigh_Click(); });
    connect(volumeItems_[volume(VolumeItem::Medium)], &QAction::triggered, this,
            [engine] { engine->mnumedium_Click(); });
    connect(volumeItems_[volume(VolumeItem::Low)], &QAction::triggered, this,
            [engine] { engine->mnulow_Click(); });
    connect(mnuinstruct_, &QAction::triggered, this, [this] { mnuinstruct_Click(); });
    connect(mnuabout_, &QAction::triggered, this, [this] { mnuabout_Click(); });
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
    closeHelpWindow(helpWindow_);
    hide();
    emit programEnded();
}

}  // namespace tavro::ui
