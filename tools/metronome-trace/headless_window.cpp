#include "headless_window.h"

#include <charconv>
#include <cstddef>

#include "trace_names.h"
#include "trace_quote.h"

namespace tavro::trace {

namespace {

template <typename Enum>
constexpr std::size_t indexOf(Enum value) {
    return static_cast<std::size_t>(value);
}

bool inTimingFrame(Option option) {
    return option == Option::FourFour || option == Option::ThreeFour ||
           option == Option::TwoFour;
}

}  // namespace

// The design-time texts and choices, listed in the order of the enumerations (the
// arrays are indexed by them). Built in place rather than assigned, which also keeps
// GCC 12's -Wrestrict false positive on string assignment out of optimised builds.
static_assert(indexOf(Box::Length) == 0 && indexOf(Box::Intro) == 1 &&
              indexOf(Box::Repeat) == 2 && indexOf(Box::StartSpeed) == 3 &&
              indexOf(Box::MaxSpeed) == 4 && indexOf(Box::Linear) == 5 && indexOf(Box::Skip) == 6);
static_assert(indexOf(StatusLabel::Speed) == 0 && indexOf(StatusLabel::Bar) == 1 &&
              indexOf(StatusLabel::BarTotal) == 2 && indexOf(StatusLabel::Beat) == 3 &&
              indexOf(StatusLabel::Repeat) == 4 && indexOf(StatusLabel::RepeatTotal) == 5);
static_assert(indexOf(Option::FourFour) == 0 && indexOf(Option::IncLinear) == 3);
static_assert(indexOf(VolumeItem::Medium) == 1);

HeadlessWindow::HeadlessWindow(std::ostream& out)
    : out_(out),
      boxTexts_{"4", "2", "2", "60", "300", "5", "30"},
      options_{true, false, false, true, false},
      captions_{"60", "-2", "4", "0", "1", "1"},
      volumeChecks_{false, true, false} {}

void HeadlessWindow::typeBoxText(Box box, std::string text) {
    boxTexts_[indexOf(box)] = std::move(text);
}

void HeadlessWindow::turnOptionOn(Option option) {
    for (const auto& [other, name] : kOptionNames) {
        if (inTimingFrame(other) == inTimingFrame(option)) options_[indexOf(other)] = false;
    }
    options_[indexOf(option)] = true;
}

const std::string& HeadlessWindow::caption(StatusLabel label) const {
    return captions_[indexOf(label)];
}

bool HeadlessWindow::volumeChecked(VolumeItem item) const { return volumeChecks_[indexOf(item)]; }

std::string HeadlessWindow::boxText(Box box) const { return boxTexts_[indexOf(box)]; }

void HeadlessWindow::setBoxText(Box box, const std::string& text) {
    boxTexts_[indexOf(box)] = text;
    out_ << "text " << nameOf(kBoxNames, box) << ' ' << quoteText(text) << '\n';
}

bool HeadlessWindow::optionOn(Option option) const { return options_[indexOf(option)]; }

void HeadlessWindow::setLabelCaption(StatusLabel label, const std::string& caption) {
    captions_[indexOf(label)] = caption;
}

void HeadlessWindow::setVolumeChecked(VolumeItem item, bool checked) {
    volumeChecks_[indexOf(item)] = checked;
}

void HeadlessWindow::setTimerInterval(std::int32_t milliseconds) {
    interval_ = milliseconds;
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, milliseconds).ptr;
    out_ << "interval ";
    out_.write(digits, end - digits);
    out_ << '\n';
}

void HeadlessWindow::messageBox(const std::string& text, const std::string& title) {
    out_ << "message " << quoteText(text) << " title " << quoteText(title) << '\n';
}

void HeadlessWindow::endProgram() {
    ended_ = true;
    out_ << "quit\n";
}

}  // namespace tavro::trace
