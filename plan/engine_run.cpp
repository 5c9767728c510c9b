#include "plan/engine_run.h"

#include "engine/metronome.h"
#include "headless_window.h"

#include <sstream>
#include <string_view>

namespace tavro::plan {

// The headless window reports what the engine does to it as trace lines: START's
// message box and every setting of the interval each write one.
struct EngineRun::Window {
    std::ostringstream effects;
    trace::HeadlessWindow window{effects};
    Metronome metronome{window};
};

namespace {

// The text of the first quoted string in `line`, escapes undone (\\ \" \t \n \r).
std::string firstQuoted(std::string_view line)
{
    std::string text;
    std::size_t at = line.find('"');
    if (at == std::string_view::npos)
        return text;
    for (++at; at < line.size() && line[at] != '"'; ++at) {
        char c = line[at];
        if (c == '\\' && at + 1 < line.size()) {
            c = line[++at];
            c = c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        }
        text += c;
    }
    return text;
}

void chooseVolume(Metronome& metronome, VolumeItem volume)
{
    switch (volume) {
    case VolumeItem::High: metronome.mnuhigh_Click(); break;
    case VolumeItem::Medium: metronome.mnumedium_Click(); break;
    case VolumeItem::Low: metronome.mnulow_Click(); break;
    }
}

}  // namespace

EngineRun::EngineRun(const WindowSettings& settings) : window_(std::make_unique<Window>())
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
    // A refused START shows one message box; the lines before it are boxes it cleaned.
    std::istringstream effects(w.effects.str());
    for (std::string line; std::getline(effects, line);) {
        if (line.starts_with("message "))
            refusal_ = firstQuoted(line);
    }
    if (!refusal_)
        refusal_ = "";
}

EngineRun::~EngineRun() = default;
EngineRun::EngineRun(EngineRun&&) noexcept = default;
EngineRun& EngineRun::operator=(EngineRun&&) noexcept = default;

bool EngineRun::tick()
{
    Window& w = *window_;
    w.effects.str("");
    w.metronome.Timer1_Timer();
    return w.effects.tellp() > 0;
}

std::int32_t EngineRun::interval() const { return window_->window.timerInterval(); }

std::string EngineRun::speedShown() const { return window_->window.caption(StatusLabel::Speed); }

const MetronomeState& EngineRun::state() const { return window_->metronome.state(); }

}  // namespace tavro::plan
