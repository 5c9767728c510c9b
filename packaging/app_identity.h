#pragma once

// The names the program goes by on the desktop. The desktop entry beside this file is
// named after the id (kAppId + ".desktop") and names the icon; the program gives the same
// id to the window system and to the sound server, so that a volume mixer shows its
// stream under its name and icon.
namespace tavro::app {

inline constexpr const char* kAppName = "Tavro Metronome";
inline constexpr const char* kAppId = "tavro-metronome";
inline constexpr const char* kIconName = "tavro-metronome";

}  // namespace tavro::app
