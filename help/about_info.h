#pragma once

#include <string_view>

// Authorship and contact details, shared by the About box of the main window and the
// about block at the head of the Overview help topic so that both always say the same.
// Plain ASCII, so any string type takes them unchanged.
namespace tavro::about {

inline constexpr std::string_view kProductName = "Tavro Metronome";
inline constexpr std::string_view kAuthorName = "Tavro Software";

// Who wrote the program, and when.
inline constexpr std::string_view kAuthorshipLine = "Written by Tavro Software in December 2026.";
inline constexpr std::string_view kRightsNotice =
    "Copyright (c) 2026 Tavro Software.  All rights reserved.";

inline constexpr std::string_view kEmailPrimary = "metronome@example.org";
inline constexpr std::string_view kEmailSecondary = "tavro.software@example.com";
inline constexpr std::string_view kWebPage = "http://www.example.org/tavro-metronome/";

}  // namespace tavro::about
