#include "headless_window.h"

#include "default_settings.h"

#include <cstddef>
#include <utility>

namespace tavro {

namespace {

template <typename Enum>
constexpr std::size_t indexOf(Enum value)
{
    return static_cast<std::size_t>(value);
}

bool inTimingFrame(Option option)
{
    return option == Option::FourFour || option == Option::ThreeFour || option == Option::TwoFour;
}

// Built in place rather than assigned element by element, which also keeps GCC 12's
// -Wrestrict false positive on string assignment out of optimised builds.
template <std::size_t N, std::size_t... I>
std::array<std::string, N> strings(const std::array<const char*, N>& texts,
                                   std::index_sequence<I...>)
{
    return {texts[I]...};
}

template <std::size_t N>
std::array<std::string, N> strings(const std::array<const char*, N>& texts)
{
    return strings(texts, std::make_index_sequence<N>{});
}

std::array<bool, 3> checkedOnly(VolumeItem item)
{
    std::array<bool, 3> checks{};
    checks[indexOf(item)] = true;
    return checks;
}

WindowEffects unwatched;

}  // namespace

HeadlessWindow::HeadlessWindow(WindowEffects* effects)
    : effects_(effects != nullptr ? *effects : unwatched),
      boxTexts_(strings(DefaultSettings::boxTexts)),
      options_(DefaultSettings::options),
      captions_(strings(DefaultSettings::captions)),
      volumeChecks_(checkedOnly(DefaultSettings::volume)),
      interval_(DefaultSettings::timerInterval)
{
}

void HeadlessWindow::typeBoxText(Box box, std::string text)
{
    boxTexts_[indexOf(box)] = std::move(text);
}

void HeadlessWindow::typeBoxTexts(const std::array<std::string, 7>& texts) { boxTexts_ = texts; }

void HeadlessWindow::turnOptionOn(Option option)
{
    for (std::size_t other = 0; other < options_.size(); ++other) {
        if (inTimingFrame(static_cast<Option>(other)) == inTimingFrame(option))
            options_[other] = false;
    }
    options_[indexOf(option)] = true;
}

void HeadlessWindow::setOptionOn(Option option, bool on) { options_[indexOf(option)] = on; }

const std::string& HeadlessWindow::caption(StatusLabel label) const
{
    return captions_[indexOf(label)];
}

bool HeadlessWindow::volumeChecked(VolumeItem item) const { return volumeChecks_[indexOf(item)]; }

int HeadlessWindow::boxWrites(Box box) const { return boxWrites_[indexOf(box)]; }

std::string HeadlessWindow::boxText(Box box) const { return boxTexts_[indexOf(box)]; }

void HeadlessWindow::setBoxText(Box box, const std::string& text)
{
    boxTexts_[indexOf(box)] = text;
    ++boxWrites_[indexOf(box)];
    effects_.boxTextSet(box, text);
}

bool HeadlessWindow::optionOn(Option option) const { return options_[indexOf(option)]; }

void HeadlessWindow::setLabelCaption(StatusLabel label, const std::string& caption)
{
    captions_[indexOf(label)] = caption;
}

void HeadlessWindow::setVolumeChecked(VolumeItem item, bool checked)
{
    volumeChecks_[indexOf(item)] = checked;
}

void HeadlessWindow::setTimerInterval(std::int32_t milliseconds)
{
    interval_ = milliseconds;
    effects_.timerIntervalSet(milliseconds);
}

void HeadlessWindow::messageBox(const std::string& text, const std::string& title)
{
    ++messages_;
    lastMessageText_ = text;
    lastMessageTitle_ = title;
    effects_.messageShown(text, title);
}

void HeadlessWindow::endProgram()
{
    ended_ = true;
    effects_.programEnded();
}

}  // namespace tavro
