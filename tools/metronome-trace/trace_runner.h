#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

#include "engine/headless_window.h"
#include "engine/metronome.h"
#include "trace_script.h"

namespace tavro::trace {

// A freshly loaded main window with its engine, played one command at a time; the
// trace goes to `out` as the effects happen.
class TracePlayer final : private WindowEffects {
public:
    explicit TracePlayer(std::ostream& out);
    TracePlayer(const TracePlayer&) = delete;
    TracePlayer& operator=(const TracePlayer&) = delete;

    // Plays `command`; false once the program has ended (QUIT), after which nothing
    // more may be played.
    bool play(const Command& command);

    const HeadlessWindow& window() const { return window_; }

private:
    void click(Button button);
    void chooseVolume(VolumeItem item);
    void expire(std::uint32_t count);
    void writeBeatLine(std::uint64_t beeps);

    // The engine's effects on the window, one trace line each.
    void boxTextSet(Box box, const std::string& text) override;
    void timerIntervalSet(std::int32_t milliseconds) override;
    void messageShown(const std::string& text, const std::string& title) override;
    void programEnded() override;

    std::ostream& out_;
    HeadlessWindow window_{this};
    Metronome metronome_{window_};
    std::uint64_t expiries_ = 0;  // every expiry since the script began, idle ones too
};

// The whole tool: reads `script` first; a bad script writes one line to `err`, nothing
// to `out`, and gives 2; otherwise it plays the script to `out` and gives 0.
int runTraceScript(std::string_view script, std::ostream& out, std::ostream& err);

}  // namespace tavro::trace
