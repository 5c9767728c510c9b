#include "headless_window.h"

#include <charconv>
#include <cstddef>

#include "trace_names.h"
#include "trace_quote.h"

namespace tavro::trace {

namespace {

template <typename Enum>
std::size_t indexOf(Enum value) {
    return static_cast<std::size_t>(value);
}

bool inTimingFrame(Option option) {
    return option == Option::FourFour || option == Option::ThreeFour ||
           option == Option::TwoFour;
}

}  // namespace

HeadlessWindow::HeadlessWindow(std::ostream& out) : out_(out) {
    boxTexts_[indexOf(Box::Length)] = "4";
    boxTexts_[indexOf(Box::Intro)] = "2";
    boxTexts_[indexOf(Box::Repeat)] = "2";
    boxTexts_[indexOf(Box::StartSpeed)] = "60";
    boxTexts_[indexOf(Box::MaxSpeed)] = "300";
    boxTexts_[indexOf(Box::Linear)] = "5";
    boxTexts_[indexOf(Box::Skip)] = "30";

    options_.fill(false);
    options_[indexOf(Option::FourFour)] = true;
    options_[indexOf(Option::IncLinear)] = true;

    captions_[indexOf(StatusLabel::Speed)] = "60";
    captions_[indexOf(StatusLabel::Bar)] = "-2";
    captions_[indexOf(StatusLabel::BarTotal)] = "4";
    captions_[indexOf(StatusLabel::Beat)] = "0";
    captions_[indexOf(StatusLabel::Repeat)] = "1";
    captions_[indexOf(StatusLabel::RepeatTotal)] = "1";

    volumeChecks_.fill(false);
    volumeChecks_[indexOf(VolumeItem::Medium)] = true;
}

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
