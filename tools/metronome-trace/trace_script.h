#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/window_ops.h"

namespace tavro::trace {

// One command of a trace script: one thing the user or the timer does to the window.
struct TypeText {  // text BOX "VALUE"
    Box box;
    std::string value;
    bool operator==(const TypeText&) const = default;
};
struct TurnOptionOn {  // option NAME
    Option option;
    bool operator==(const TurnOptionOn&) const = default;
};
enum class Button { Start, Stop, Pause, Quit };
struct ClickButton {  // start, stop, pause, quit
    Button button;
    bool operator==(const ClickButton&) const = default;
};
struct ChooseVolume {  // volume high|medium|low
    VolumeItem item;
    bool operator==(const ChooseVolume&) const = default;
};
struct TimerExpiries {  // tick, tick N
    std::uint32_t count;
    bool operator==(const TimerExpiries&) const = default;
};

using Command = std::variant<TypeText, TurnOptionOn, ClickButton, ChooseVolume, TimerExpiries>;

inline constexpr std::uint32_t kMaxExpiriesPerCommand = 100'000'000;

struct ScriptError {
    std::size_t line;    // counted from 1
    std::string reason;  // one line, no line feed
};

// A whole script, read before any of it runs: either every command in order, or the
// first bad line (and then no commands). Commands after a `quit` are kept; running
// them is the player's business.
struct ParsedScript {
    std::vector<Command> commands;
    std::optional<ScriptError> error;
};

ParsedScript parseScript(std::string_view script);

// The byte offset of the first byte that does not belong to a well-formed UTF-8
// sequence (overlong forms, surrogates and code points above U+10FFFF are not).
std::optional<std::size_t> firstInvalidUtf8(std::string_view text);

}  // namespace tavro::trace
