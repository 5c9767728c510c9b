#include "trace_runner.h"

#include <charconv>
#include <string>
#include <type_traits>

#include "trace_names.h"
#include "trace_quote.h"

namespace tavro::trace {

namespace {

template <typename Integer>
void writeNumber(std::ostream& out, Integer value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.write(digits, end - digits);
}

}  // namespace

TracePlayer::TracePlayer(std::ostream& out)
    : out_(out)
{
    metronome_.Form_Load();
}

bool TracePlayer::play(const Command& command)
{
    std::visit(
        [this](const auto& c) {
            using Kind = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<Kind, TypeText>) {
                window_.typeBoxText(c.box, c.value);
            } else if constexpr (std::is_same_v<Kind, TurnOptionOn>) {
                window_.turnOptionOn(c.option);
            } else if constexpr (std::is_same_v<Kind, ClickButton>) {
                click(c.button);
            } else if constexpr (std::is_same_v<Kind, ChooseVolume>) {
                chooseVolume(c.item);
            } else {
                expire(c.count);
            }
        },
        command);
    return !window_.programEnded();
}

void TracePlayer::click(Button button)
{
    switch (button) {
    case Button::Start: metronome_.Command2_Click(); break;
    case Button::Stop: metronome_.Command3_Click(); break;
    case Button::Pause: metronome_.Command4_Click(); break;
    case Button::Quit: metronome_.Command1_Click(); break;
    }
}

void TracePlayer::chooseVolume(VolumeItem item)
{
    switch (item) {
    case VolumeItem::High: metronome_.mnuhigh_Click(); break;
    case VolumeItem::Medium: metronome_.mnumedium_Click(); break;
    case VolumeItem::Low: metronome_.mnulow_Click(); break;
    }
}

void TracePlayer::expire(std::uint32_t count)
{
    for (std::uint32_t done = 0; done < count; ++done) {
        // A tick does nothing unless running, and nothing but a handler starts a run,
        // so once idle the rest of this block is idle too: count it without calling.
        if (!metronome_.state().running) {
            expiries_ += count - done;
            return;
        }
        ++expiries_;
        const std::uint64_t beepsBefore = window_.beepsSounded();
        metronome_.Timer1_Timer();
        writeBeatLine(window_.beepsSounded() - beepsBefore);
    }
}

void TracePlayer::boxTextSet(Box box, const std::string& text)
{
    out_ << "text " << nameOf(kBoxNames, box) << ' ' << quoteText(text) << '\n';
}

void TracePlayer::timerIntervalSet(std::int32_t milliseconds)
{
    out_ << "interval ";
    writeNumber(out_, milliseconds);
    out_ << '\n';
}

void TracePlayer::messageShown(const std::string& text, const std::string& title)
{
    out_ << "message " << quoteText(text) << " title " << quoteText(title) << '\n';
}

void TracePlayer::programEnded() { out_ << "quit\n"; }

void TracePlayer::writeBeatLine(std::uint64_t beeps)
{
    out_ << "tick ";
    writeNumber(out_, expiries_);
    out_ << " speed " << window_.caption(StatusLabel::Speed) << " bar "
         << window_.caption(StatusLabel::Bar) << " of " << window_.caption(StatusLabel::BarTotal)
         << " repeat " << window_.caption(StatusLabel::Repeat) << " of "
         << window_.caption(StatusLabel::RepeatTotal) << " beat "
         << window_.caption(StatusLabel::Beat) << " beeps ";
    writeNumber(out_, beeps);
    out_ << '\n';
}

int runTraceScript(std::string_view script, std::ostream& out, std::ostream& err)
{
    const ParsedScript parsed = parseScript(script);
    if (parsed.error) {
        err << "metronome-trace: line " << std::to_string(parsed.error->line) << ": "
            << parsed.error->reason << '\n';
        return 2;
    }
    TracePlayer player(out);
    for (const Command& command : parsed.commands) {
        if (!player.play(command))
            break;
    }
    out.flush();
    return 0;
}

}  // namespace tavro::trace
