#include "plan/engine_run.h"

#include "engine/headless_window.h"
#include "engine/metronome.h"

namespace tavro::plan {

// The window of plain values, watched for the one effect a tick can have: a new
// interval of Timer1, which is a speed step.
struct EngineRun::Window final : WindowEffects {
    void timerIntervalSet(std::int32_t) override { intervalSet = true; }

    bool intervalSet = false;
    HeadlessWindow window{this};
    Metronome metronome{window};
};

namespace {

void chooseVolume(Metronome& metronome, VolumeItem volume)
{
    switch (volume) {
    case VolumeItem::High: metronome.mnuhigh_Click(); break;
    case VolumeItem::Medium: metronome.mnumedium_Click(); break;
    case VolumeItem::Low: metronome.mnulow_Click(); break;
    }
}

}  // namespace

EngineRun::EngineRun(const WindowSettings& settings)
    : window_(std::make_unique<Window>())
{
    Window& w = *window_;
    w.metronome.Form_Load();
    chooseVolume(w.metronome, settings.volume);
    for (std::size_t box = 0; box < settings.boxTexts.size(); ++box)
        w.window.typeBoxText(static_cast<Box>(box), settings.boxTexts[box]);
    w.window.turnOptionOn(settings.timing);
    w.window.turnOptionOn(settings.increase);
    w.metronome.Command2_Click();
    if (w.metronome.state().running)
        return;
    // A refused START shows one message box, with the message of the last failing check.
    refusal_ = w.window.messagesShown() > 0 ? w.window.lastMessageText() : std::string();
}

EngineRun::~EngineRun() = default;
EngineRun::EngineRun(EngineRun&&) noexcept = default;
EngineRun& EngineRun::operator=(EngineRun&&) noexcept = default;

bool EngineRun::tick()
{
    Window& w = *window_;
    w.intervalSet = false;
    w.metronome.Timer1_Timer();
    return w.intervalSet;
}

std::int32_t EngineRun::interval() const { return window_->window.timerInterval(); }

std::string EngineRun::speedShown() const { return window_->window.caption(StatusLabel::Speed); }

const MetronomeState& EngineRun::state() const { return window_->metronome.state(); }

}  // namespace tavro::plan
