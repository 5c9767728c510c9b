#pragma once

#include "generated/project_info.h"

#include <string_view>

// Authorship, rights and contact details, shared by the About box of the main window and
// the about block at the head of the Overview help topic so that both always say the
// same. Plain ASCII, so any string type takes them unchanged.
namespace tavro::about {

inline constexpr std::string_view kProductName = "Tavro Metronome";
inline constexpr std::string_view kAuthorName = project::kAuthor;

// Who wrote the program, and when.
inline constexpr std::string_view kAuthorshipLine = "Written by Tavro Software in December 2026.";
// The licence of LICENSE and of the package's copyright file, in one short line.
inline constexpr std::string_view kRightsNotice =
    "Copyright (c) 2026 Tavro Software.  GNU GPL v3 or later.";

inline constexpr std::string_view kEmailPrimary = project::kContactEmail;
inline constexpr std::string_view kEmailSecondary = "tavro.software@example.com";
inline constexpr std::string_view kWebPage = project::kHomepage;

}  // namespace tavro::about
