#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

#include "engine/metronome.h"
#include "headless_window.h"
#include "trace_script.h"

namespace tavro::trace {

// A freshly loaded main window with its engine, played one command at a time; the
// trace goes to `out` as the effects happen.
class TracePlayer {
public:
    explicit TracePlayer(std::ostream& out);
    TracePlayer(const TracePlayer&) = delete;
    TracePlayer& operator=(const TracePlayer&) = delete;

    // Plays `command`; false once the program has ended (QUIT), after which nothing
    // more may be played.
    bool play(const Command& command);

    std::uint64_t expiries() const { return expiries_; }
    const HeadlessWindow& window() const { return window_; }
    const Metronome& metronome() const { return metronome_; }

private:
    void click(Button button);
    void chooseVolume(VolumeItem item);
    void expire(std::uint32_t count);
    void writeBeatLine(std::uint64_t beeps);

    std::ostream& out_;
    HeadlessWindow window_;
    Metronome metronome_;
    std::uint64_t expiries_ = 0;  // every expiry since the script began, idle ones too
};

// Plays every command until the end or until QUIT.
void playCommands(const std::vector<Command>& commands, std::ostream& out);

// The whole tool: reads `script` first; a bad script writes one line to `err`, nothing
// to `out`, and gives 2; otherwise it plays the script to `out` and gives 0.
int runTraceScript(std::string_view script, std::ostream& out, std::ostream& err);

}  // namespace tavro::trace
