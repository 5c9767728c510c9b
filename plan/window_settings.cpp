#include "plan/window_settings.h"

#include "engine/default_settings.h"

#include <initializer_list>

namespace tavro::plan {

namespace {

// The button of a frame that the window opens with turned on.
Option chosenOf(std::initializer_list<Option> frame)
{
    for (const Option option : frame) {
        if (DefaultSettings::optionOn(option))
            return option;
    }
    return *frame.begin();
}

}  // namespace

WindowSettings::WindowSettings()
    : timing(chosenOf({Option::FourFour, Option::ThreeFour, Option::TwoFour})),
      increase(chosenOf({Option::IncLinear, Option::IncSkip})),
      volume(DefaultSettings::volume)
{
    for (std::size_t box = 0; box < boxTexts.size(); ++box)
        boxTexts[box] = DefaultSettings::boxText(static_cast<Box>(box));
}

}  // namespace tavro::plan
