#pragma once

#include "engine/metronome_state.h"
#include "plan/window_settings.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tavro::plan {

// The real engine on a freshly loaded window of plain values: the volume chosen, the
// settings typed in and START pressed, as a user would. Then one expiry of Timer1 at a
// time. This is the only place where the tool gives the engine a window.
class EngineRun {
public:
    explicit EngineRun(const WindowSettings& settings);
    ~EngineRun();
    EngineRun(EngineRun&&) noexcept;
    EngineRun& operator=(EngineRun&&) noexcept;

    // START's message when it refused the settings (its lines separated by carriage
    // returns, as the message box gets it); none when the run began.
    const std::optional<std::string>& refusal() const { return refusal_; }

    // One expiry of Timer1; true when the tick set the beat interval (a speed step).
    bool tick();

    std::int32_t interval() const;   // the interval of Timer1, milliseconds
    std::string speedShown() const;  // the caption of the speed label
    const MetronomeState& state() const;

private:
    struct Window;
    std::unique_ptr<Window> window_;
    std::optional<std::string> refusal_;
};

}  // namespace tavro::plan
