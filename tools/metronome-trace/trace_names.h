#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "engine/window_ops.h"

namespace tavro::trace {

// The words by which scripts and trace lines name the window's boxes, option buttons
// and Volume items: the objectName of each control, without the "mnu" of the menus.
inline constexpr std::array<std::pair<Box, std::string_view>, 7> kBoxNames{{
    {Box::Length, "length"},
    {Box::Intro, "intro"},
    {Box::Repeat, "repeat"},
    {Box::StartSpeed, "startspeed"},
    {Box::MaxSpeed, "maxspeed"},
    {Box::Linear, "linear"},
    {Box::Skip, "skip"},
}};

inline constexpr std::array<std::pair<Option, std::string_view>, 5> kOptionNames{{
    {Option::FourFour, "fourfour"},
    {Option::ThreeFour, "threefour"},
    {Option::TwoFour, "twofour"},
    {Option::IncLinear, "inclinear"},
    {Option::IncSkip, "incskip"},
}};

inline constexpr std::array<std::pair<VolumeItem, std::string_view>, 3> kVolumeNames{{
    {VolumeItem::High, "high"},
    {VolumeItem::Medium, "medium"},
    {VolumeItem::Low, "low"},
}};

template <typename Enum, std::size_t N>
std::optional<Enum> lookUpName(const std::array<std::pair<Enum, std::string_view>, N>& names,
                               std::string_view word)
{
    for (const auto& [value, name] : names) {
        if (name == word)
            return value;
    }
    return std::nullopt;
}

template <typename Enum, std::size_t N>
std::string_view nameOf(const std::array<std::pair<Enum, std::string_view>, N>& names, Enum value)
{
    for (const auto& [candidate, name] : names) {
        if (candidate == value)
            return name;
    }
    return "?";
}

}  // namespace tavro::trace
