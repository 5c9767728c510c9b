#pragma once

#include "plan/window_settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavro::plan {

// What the command line asks for.
struct PlanOptions {
    WindowSettings settings;            // the window's defaults, then the options
    std::optional<std::int64_t> steps;  // exactly this many rows
    bool csv = false;
    std::optional<std::string> wavPath;     // write the click track there
    std::optional<std::int64_t> wavFrames;  // its length, from --seconds
    bool help = false;
    bool version = false;

    // `--wav -`: the click track goes to standard output.
    bool wavToStandardOutput() const { return wavPath == "-"; }
};

inline constexpr std::int64_t kMaxSteps = 1'000'000;
// A WAV file's sizes are 32-bit: 12 hours of 48 kHz 16-bit mono fit, 12.5 do not.
inline constexpr std::int64_t kMaxSeconds = 12 * 60 * 60;

// The options, or, in `error`, one line saying why the command line is not valid.
struct ParsedOptions {
    PlanOptions options;
    std::string error;
};

// `args` without the program's name. Each settings option takes the text as a user
// would type it into that box, whatever it is; `--name=value` works as `--name value`;
// `--` ends the options (and the command takes no other arguments).
ParsedOptions parseOptions(const std::vector<std::string>& args);

// The short form of the manual page, with the defaults filled in.
std::string helpText();

}  // namespace tavro::plan
